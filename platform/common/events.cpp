// Events and waits. PulseEvent releases the threads waiting at that moment (one for
// an auto-reset event) and leaves the event non-signalled; a pulse with no waiter is lost.
#include <chrono>

#include "qzplatform/ground.h"

namespace qzplatform {

EventObject::EventObject(bool manual_reset, bool initial_state)
    : manual_reset_(manual_reset), signaled_(initial_state) {}

void EventObject::Set() {
  std::lock_guard lock(mutex_);
  signaled_ = true;
  if (manual_reset_)
    cv_.notify_all();
  else
    cv_.notify_one();
}

void EventObject::Reset() {
  std::lock_guard lock(mutex_);
  signaled_ = false;
}

void EventObject::Pulse() {
  std::lock_guard lock(mutex_);
  if (waiters_ == 0) {
    signaled_ = false;
    return;
  }
  ++pulses_;
  pulse_releases_ = manual_reset_ ? waiters_ : 1;
  signaled_ = false;
  cv_.notify_all();
}

DWORD EventObject::Wait(DWORD milliseconds) {
  std::unique_lock lock(mutex_);
  const std::uint64_t pulses_at_start = pulses_;
  auto released = [&] {
    if (signaled_) return true;
    return pulses_ != pulses_at_start && pulse_releases_ > 0;
  };
  ++waiters_;
  bool ok;
  if (milliseconds == INFINITE) {
    cv_.wait(lock, released);
    ok = true;
  } else {
    ok = cv_.wait_for(lock, std::chrono::milliseconds(milliseconds), released);
  }
  --waiters_;
  if (!ok) return WAIT_TIMEOUT;
  if (signaled_) {
    if (!manual_reset_) signaled_ = false;
  } else {
    --pulse_releases_;
  }
  return WAIT_OBJECT_0;
}

}  // namespace qzplatform

using qzplatform::EventObject;

HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState,
                           LPCWSTR) {
  return qzplatform::InsertHandle(
      std::make_shared<EventObject>(bManualReset != FALSE, bInitialState != FALSE));
}

namespace {

template <typename F>
BOOL WithEvent(HANDLE h, F f) {
  auto event = qzplatform::LookupHandleAs<EventObject>(h);
  if (!event) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  f(*event);
  return TRUE;
}

}  // namespace

BOOL WINAPI SetEvent(HANDLE hEvent) { return WithEvent(hEvent, [](EventObject& e) { e.Set(); }); }
BOOL WINAPI ResetEvent(HANDLE hEvent) {
  return WithEvent(hEvent, [](EventObject& e) { e.Reset(); });
}
BOOL WINAPI PulseEvent(HANDLE hEvent) {
  return WithEvent(hEvent, [](EventObject& e) { e.Pulse(); });
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  auto event = qzplatform::LookupHandleAs<EventObject>(hHandle);
  if (!event) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return event->Wait(dwMilliseconds);
}
