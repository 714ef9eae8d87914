// What the library hands the system for a person to see, captured for tests the same way on
// every ground: debugger output, and (where the system allows it) message boxes.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qztest {

// Collects every OutputDebugStringW line written by any thread while it lives.
class DebugOutputCapture {
 public:
  DebugOutputCapture();
  ~DebugOutputCapture();
  DebugOutputCapture(const DebugOutputCapture&) = delete;
  DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

  // The lines since the last call, oldest first.
  std::vector<std::u16string> Take();
};

// True where message boxes can be captured. On Windows the library's MessageBoxW waits for a
// person, so a test that makes the library show one cannot run there.
bool CanCaptureMessageBoxes();

// Collects message boxes as "caption|text" while it lives (where CanCaptureMessageBoxes).
class MessageBoxCapture {
 public:
  MessageBoxCapture();
  ~MessageBoxCapture();
  MessageBoxCapture(const MessageBoxCapture&) = delete;
  MessageBoxCapture& operator=(const MessageBoxCapture&) = delete;

  std::vector<std::u16string> Take();
};

// The running test program's own file.
std::filesystem::path ProgramPath();

}  // namespace qztest
