// The main-thread dispatcher on a Win32 message loop: handed-off calls wake the loop with
// one posted message to a hidden message-only window, and timers are that window's
// SetTimer timers.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>

#include "qzclasses/dispatcher.h"
#include "qzplatform/win32.h"

namespace qzui {

// Create and install it on the thread that runs the message loop (GetMessageW /
// DispatchMessageW). Queued calls run when the loop dispatches the wake-up message, and
// also while that thread waits for a worker (Dispatcher::WaitUntil). Wake-ups are
// coalesced: at most one wake message is pending at a time.
class Win32Dispatcher final : public qz::Dispatcher {
 public:
  // Receives the error of a posted call or a timer tick, which no caller waits for.
  using ErrorHandler = std::function<void(std::exception_ptr)>;

  // Timers shorter than this are raised to it, as the system's timers are.
  static constexpr std::uint32_t kMinimumInterval = USER_TIMER_MINIMUM;

  Win32Dispatcher();
  ~Win32Dispatcher() override;

  qz::TimerId SetTimer(std::uint32_t ms, std::function<void()> tick) override;
  void KillTimer(qz::TimerId id) override;
  std::size_t TimerCount() const { return timers_.size(); }

  // The hidden window the wake-ups and timers go to.
  HWND Window() const { return window_; }
  // The default handler shows the error's message in an error box.
  void SetErrorHandler(ErrorHandler handler) { on_error_ = std::move(handler); }

 protected:
  void Wake() override;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void Drain();
  void Tick(UINT_PTR id);
  void Report(std::exception_ptr error);

  HWND window_ = nullptr;
  std::atomic<bool> wake_pending_{false};
  std::map<qz::TimerId, std::function<void()>> timers_;
  qz::TimerId next_id_ = 1;
  ErrorHandler on_error_;
};

}  // namespace qzui
