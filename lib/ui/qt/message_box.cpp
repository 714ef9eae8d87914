// The toolkit's message boxes.
#include "ui/qt/message_box.h"
#include "ui/qt/message_box_hook.h"

#include <QGuiApplication>
#include <QMessageBox>

#include "qzclasses/errors.h"
#include "ui/qt/qt_text.h"

namespace qzui {

namespace {

MessageBoxHook& Hook() {
  static MessageBoxHook hook;
  return hook;
}

}  // namespace

void ShowMessageBox(QWidget* parent, const qz::Text& text, BoxKind kind) {
  if (Hook()) {
    Hook()(text, kind);
    return;
  }
  QMessageBox box(kind == BoxKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon,
                  QGuiApplication::applicationDisplayName(), ToQString(text), QMessageBox::Ok,
                  parent);
  box.exec();
}

void ShowErrorReport(QWidget* parent, std::exception_ptr error) {
  ShowMessageBox(parent, qz::ErrorMessage(error), BoxKind::Error);
}

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }

}  // namespace qzui
