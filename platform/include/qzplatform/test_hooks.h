// Hooks for tests into the system interface off Windows: hiding modules and entries from
// run-time binding, and capturing debugger output and message boxes. Production code
// never includes this header.
#pragma once

#ifndef _WIN32

#include <string>
#include <string_view>
#include <vector>

namespace qzplatform {

// Hide a whole module or one entry of it from LoadLibraryW/GetProcAddress, on whichever
// ground is active, to reach a caller's "missing" paths.
void HideModule(std::u16string_view module);
void HideEntry(std::u16string_view module, std::string_view entry);
void RevealAll();

// Debugger output (OutputDebugStringW): captured while capture is on; otherwise written
// to standard error when QZ_DEBUG_OUTPUT=1, else dropped.
void CaptureDebugOutput(bool on);
std::vector<std::u16string> TakeDebugOutput();

// Message boxes (MessageBoxW): captured while capture is on, each as caption + "|" +
// text; otherwise written to standard error.
void CaptureMessageBoxes(bool on);
std::vector<std::u16string> TakeMessageBoxes();

}  // namespace qzplatform

#endif  // !_WIN32
