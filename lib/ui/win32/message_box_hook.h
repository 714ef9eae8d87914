// Capture of the system's message boxes, for tests.
// Production code never includes this header.
#pragma once

#include <functional>

#include "ui/win32/message_box.h"

namespace qzui {

// While a hook is set, ShowMessageBox hands it the box instead of showing one.
using MessageBoxHook = std::function<void(const qz::Text& text, BoxKind kind)>;
// An empty hook brings the real boxes back. Main thread only.
void SetMessageBoxHook(MessageBoxHook hook);

}  // namespace qzui
