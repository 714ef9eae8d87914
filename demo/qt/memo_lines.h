// Removing the oldest lines of the Qt window's memo.
#pragma once

#include <cstddef>

class QPlainTextEdit;

namespace demo {

// Removes up to `count` of the memo's first lines and returns how many went. The cut is
// made by text position: a cursor walking block by block would lay out (shape) every
// removed line first, which is what makes the document's own block limit slow.
std::size_t DropOldestLines(QPlainTextEdit& memo, std::size_t count);

}  // namespace demo
