// The main-thread dispatcher on a Win32 message loop.
#include "ui/win32/win32_dispatcher.h"

#include <algorithm>

#include "ui/win32/last_error.h"
#include "ui/win32/message_box.h"

namespace qzui {

namespace {

constexpr wchar_t kClassName[] = L"qzWin32Dispatcher";
// The one message that tells the window to run the queued calls.
constexpr UINT kWakeMessage = WM_APP + 1;

void RegisterWindowClass(WNDPROC proc) {
  static const bool registered = [proc] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  if (!registered) ThrowLastError(u"Registering the dispatcher's window class");
}

}  // namespace

Win32Dispatcher::Win32Dispatcher() {
  RegisterWindowClass(&WindowProc);
  window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  if (!window_) ThrowLastError(u"Creating the dispatcher's window");
  // Messages before this one (creation) find no dispatcher and get the default handling.
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32Dispatcher::~Win32Dispatcher() {
  for (const auto& [id, tick] : timers_) ::KillTimer(window_, static_cast<UINT_PTR>(id));
  // A wake-up or tick still queued for the window is dropped with it.
  SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
  DestroyWindow(window_);
}

void Win32Dispatcher::Wake() {
  // Only the first wake-up since the last drain posts a message; the drain takes everything.
  if (wake_pending_.exchange(true)) return;
  // A full message queue refuses the post: the next Wake tries again.
  if (!PostMessageW(window_, kWakeMessage, 0, 0)) wake_pending_.store(false);
}

LRESULT CALLBACK Win32Dispatcher::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<Win32Dispatcher*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self || (msg != kWakeMessage && msg != WM_TIMER)) {
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  try {
    if (msg == kWakeMessage) {
      self->wake_pending_.store(false);
      self->Drain();
    } else {
      self->Tick(static_cast<UINT_PTR>(wParam));
    }
  } catch (...) {
    // Only a failing error handler gets here; nothing may cross the message loop.
    OutputDebugStringW(L"qzui: an error report failed");
  }
  return 0;
}

void Win32Dispatcher::Drain() {
  try {
    ProcessQueued();
  } catch (...) {
    // The failing call stopped the round; what follows it runs in the next one.
    Wake();
    Report(std::current_exception());
  }
}

qz::TimerId Win32Dispatcher::SetTimer(std::uint32_t ms, std::function<void()> tick) {
  const UINT interval = std::clamp<std::uint32_t>(ms, kMinimumInterval, USER_TIMER_MAXIMUM);
  const qz::TimerId id = next_id_;
  if (::SetTimer(window_, static_cast<UINT_PTR>(id), interval, nullptr) == 0) return 0;
  ++next_id_;
  timers_[id] = std::move(tick);
  return id;
}

void Win32Dispatcher::KillTimer(qz::TimerId id) {
  if (timers_.erase(id) == 0) return;
  ::KillTimer(window_, static_cast<UINT_PTR>(id));
}

void Win32Dispatcher::Tick(UINT_PTR id) {
  const auto found = timers_.find(id);
  // A WM_TIMER already queued when its timer was killed finds nothing.
  if (found == timers_.end()) return;
  // A copy: the tick may kill its own timer.
  const std::function<void()> tick = found->second;
  try {
    tick();
  } catch (...) {
    Report(std::current_exception());
  }
}

void Win32Dispatcher::Report(std::exception_ptr error) {
  if (on_error_) {
    on_error_(error);
  } else {
    ShowErrorReport(nullptr, error);
  }
}

}  // namespace qzui
