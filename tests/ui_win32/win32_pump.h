// Runs the thread's Win32 message loop in tests until a condition holds.
#pragma once

#include <chrono>
#include <functional>

#include "qzplatform/win32.h"

namespace w32test {

// Dispatches the thread's messages until done() is true or `ms` milliseconds passed;
// returns done().
inline bool PumpUntil(const std::function<bool()>& done, int ms = 5000) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return true;
}

// Dispatches the thread's messages for `ms` milliseconds.
inline void PumpFor(int ms) {
  PumpUntil([] { return false; }, ms);
}

}  // namespace w32test
