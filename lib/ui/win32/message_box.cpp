// The system's message boxes.
#include "ui/win32/message_box.h"
#include "ui/win32/message_box_hook.h"

#include "qzclasses/errors.h"

namespace qzui {

namespace {

MessageBoxHook& Hook() {
  static MessageBoxHook hook;
  return hook;
}

qz::Text& Title() {
  static qz::Text title = u"HID Demo";
  return title;
}

}  // namespace

void ShowMessageBox(HWND parent, const qz::Text& text, BoxKind kind) {
  if (Hook()) {
    Hook()(text, kind);
    return;
  }
  const UINT style = MB_OK | (kind == BoxKind::Error ? MB_ICONERROR : 0u);
  MessageBoxW(parent, qzplatform::AsWide(text), qzplatform::AsWide(Title()), style);
}

void ShowErrorReport(HWND parent, std::exception_ptr error) {
  // The box runs a message loop of its own, in which a failing timer tick or window
  // procedure would open box upon box; while one report is open, the next ones go to
  // the debugger output instead.
  static bool open = false;
  const qz::Text text = qz::ErrorMessage(error);
  if (open) {
    OutputDebugStringW(qzplatform::AsWide(u"Error: " + text));
    return;
  }
  open = true;
  struct Close {
    ~Close() { open = false; }
  } close;
  ShowMessageBox(parent, text, BoxKind::Error);
}

void SetMessageBoxTitle(const qz::Text& title) { Title() = title; }

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }

}  // namespace qzui
