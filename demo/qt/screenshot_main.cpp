// Takes the README's picture of the HID Demo: the window on the built-in simulated devices
// with the mouse open for a moment, grabbed from the display it runs on (run it under
// xvfb-run; scripts/screenshot does).
//
//   hid-demo-screenshot FILE.png
#include <QApplication>
#include <QCheckBox>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>

#include "hid_demo_window.h"
#include "qzclasses/dispatcher.h"
#include "qzplatform/sim/sim_ground.h"
#include "ui/qt/qt_dispatcher.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: hid-demo-screenshot FILE.png\n", stderr);
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("HID Demo"));
  if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(style);
  qzui::QtDispatcher dispatcher;
  qz::Dispatcher::Install(&dispatcher);
  qzplatform::sim::Install(qzplatform::sim::Machine::Default());
  int result = 1;
  {
    demo::DemoSettings settings;
    settings.logFileName = u"/tmp/hid-demo-screenshot.log";
    demoqt::HidDemoWindow window(settings);
    window.move(0, 0);
    window.show();
    // The mouse moves round its square while it is open: a few reports reach the memo.
    auto* active = window.findChild<QCheckBox*>(QStringLiteral("CheckBox1"));
    active->setChecked(true);
    QTimer::singleShot(1300, [&] {
      const QPixmap picture = window.screen()->grabWindow(window.winId());
      result = picture.save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
      if (result != 0) std::fprintf(stderr, "hid-demo-screenshot: cannot write %s\n", argv[1]);
      active->setChecked(false);
      QApplication::quit();
    });
    QApplication::exec();
  }
  qz::Dispatcher::Install(nullptr);
  std::remove("/tmp/hid-demo-screenshot.log");
  return result;
}
