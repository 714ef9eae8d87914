// The system's message boxes: a plain one, and the default report of an error.
#pragma once

#include <exception>
#include <functional>

#include "qzclasses/text.h"
#include "qzplatform/win32.h"

namespace qzui {

enum class BoxKind { Plain, Error };

// Shows a modal MessageBoxW with an OK button under the program's title ("HID Demo" unless
// SetMessageBoxTitle says otherwise). While a hook is set the hook gets the box instead
// (tests, programs without a screen).
void ShowMessageBox(HWND parent, const qz::Text& text, BoxKind kind = BoxKind::Plain);
// The error's message in an error box ("Unknown error" for an exception that has none).
// A report made while another is open (from the box's own message loop) goes to the
// debugger output instead of a second box.
void ShowErrorReport(HWND parent, std::exception_ptr error);
void SetMessageBoxTitle(const qz::Text& title);

using MessageBoxHook = std::function<void(const qz::Text& text, BoxKind kind)>;
// An empty hook brings the real boxes back. Main thread only.
void SetMessageBoxHook(MessageBoxHook hook);

}  // namespace qzui
