// Runs the HID Demo window until it is closed.
#include "run_window.h"

#include <QApplication>
#include <QStyleFactory>

#include <cstdlib>

#include "hid_demo_window.h"
#include "qzclasses/dispatcher.h"
#include "ui/qt/qt_dispatcher.h"

namespace demoqt {

namespace {

bool EnvironmentHasValue(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

bool DisplayAvailable() {
  return EnvironmentHasValue("QT_QPA_PLATFORM") || EnvironmentHasValue("DISPLAY") ||
         EnvironmentHasValue("WAYLAND_DISPLAY");
}

int RunHidDemoWindow(int& argc, char** argv, const qz::Text& note, std::size_t memoLines) {
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("HID Demo"));
  if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(style);

  qzui::QtDispatcher dispatcher;
  qz::Dispatcher::Install(&dispatcher);
  int result = 0;
  {
    demo::DemoSettings settings;
    settings.note = note;
    settings.memoLines = memoLines;
    HidDemoWindow window(std::move(settings));
    window.show();
    result = app.exec();
  }
  qz::Dispatcher::Install(nullptr);
  return result;
}

}  // namespace demoqt
