// Runs the HID Demo window until it is closed.
#pragma once

#include <cstddef>

#include "qzclasses/text.h"

namespace demoqt {

// Whether Qt can show a window here: a display server, or a platform chosen through
// QT_QPA_PLATFORM (offscreen, ...).
bool DisplayAvailable();

// Creates the application, installs the main-thread dispatcher on its event loop and
// shows the window; `note` goes to the status line, and the memo keeps the newest
// `memoLines` lines. Returns the event loop's exit code.
int RunHidDemoWindow(int& argc, char** argv, const qz::Text& note, std::size_t memoLines);

}  // namespace demoqt
