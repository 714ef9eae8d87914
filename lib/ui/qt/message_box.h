// The toolkit's message boxes: a plain one, and the default report of an error.
#pragma once

#include <exception>

#include "qzclasses/text.h"

class QWidget;

namespace qzui {

enum class BoxKind { Plain, Error };

// Shows a modal box with an OK button under the application's display name.
void ShowMessageBox(QWidget* parent, const qz::Text& text, BoxKind kind = BoxKind::Plain);
// The error's message in an error box ("Unknown error" for an exception that has none).
void ShowErrorReport(QWidget* parent, std::exception_ptr error);

}  // namespace qzui
