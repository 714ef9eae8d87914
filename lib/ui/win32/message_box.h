// The system's message boxes: a plain one, and the default report of an error.
#pragma once

#include <exception>

#include "qzclasses/text.h"
#include "qzplatform/win32.h"

namespace qzui {

enum class BoxKind { Plain, Error };

// Shows a modal MessageBoxW with an OK button under the program's title ("HID Demo" unless
// SetMessageBoxTitle says otherwise).
void ShowMessageBox(HWND parent, const qz::Text& text, BoxKind kind = BoxKind::Plain);
// The error's message in an error box ("Unknown error" for an exception that has none).
// A report made while another is open (from the box's own message loop) goes to the
// debugger output instead of a second box.
void ShowErrorReport(HWND parent, std::exception_ptr error);
void SetMessageBoxTitle(const qz::Text& title);

}  // namespace qzui
