// Events and waits. PulseEvent releases the threads waiting at that moment (one for
// an auto-reset event) and leaves the event non-signalled; a pulse with no waiter is lost.
// A wait on the event of a transfer whose device can be served by the waiting thread
// polls that device and an eventfd that Set and Pulse write, instead of the condition.
#include <chrono>
#include <sys/eventfd.h>
#include <unistd.h>

#include "qzplatform/ground.h"

namespace qzplatform {

EventObject::EventObject(bool manual_reset, bool initial_state)
    : manual_reset_(manual_reset), signaled_(initial_state) {}

EventObject::~EventObject() {
  if (wake_fd_ >= 0) ::close(wake_fd_);
}

namespace {

// The event whose source this thread serves now: its own Set needs no wake-up.
thread_local const EventObject* t_serving = nullptr;

}  // namespace

void EventObject::WakeServers() {
  if (servers_ == 0 || t_serving == this || wake_written_) return;
  const std::uint64_t one = 1;
  wake_written_ = ::write(wake_fd_, &one, sizeof one) == sizeof one;
}

void EventObject::Set() {
  std::lock_guard lock(mutex_);
  signaled_ = true;
  if (manual_reset_)
    cv_.notify_all();
  else
    cv_.notify_one();
  WakeServers();
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
  WakeServers();
}

void EventObject::SetWaitSource(std::weak_ptr<WaitSource> source) {
  std::lock_guard lock(mutex_);
  source_ = std::move(source);
}

bool EventObject::Released(std::uint64_t pulses_at_start) const {
  if (signaled_) return true;
  return pulses_ != pulses_at_start && pulse_releases_ > 0;
}

bool EventObject::ServeWhileWaiting(std::unique_lock<std::mutex>& lock, WaitSource& source,
                                    DWORD milliseconds, std::uint64_t pulses_at_start) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  ++servers_;
  bool released = Released(pulses_at_start);
  while (!released) {
    DWORD left = INFINITE;
    if (milliseconds != INFINITE) {
      const auto now = std::chrono::steady_clock::now();
      if (now >= deadline) break;
      // Rounded up, so that a wait never ends before its time.
      left = static_cast<DWORD>(
          std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count());
    }
    lock.unlock();
    t_serving = this;
    source.Serve(wake_fd_, left);
    t_serving = nullptr;
    lock.lock();
    if (wake_written_) {
      std::uint64_t count;
      [[maybe_unused]] auto n = ::read(wake_fd_, &count, sizeof count);
      wake_written_ = false;
    }
    released = Released(pulses_at_start);
  }
  --servers_;
  return released;
}

DWORD EventObject::Wait(DWORD milliseconds) {
  std::unique_lock lock(mutex_);
  const std::uint64_t pulses_at_start = pulses_;
  auto released = [&] { return Released(pulses_at_start); };
  ++waiters_;
  bool ok = released();
  if (!ok) {
    // One thread at a time serves; any other waits to be told, as without a source.
    const std::shared_ptr<WaitSource> source = servers_ == 0 ? source_.lock() : nullptr;
    if (source && wake_fd_ < 0) wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (source && wake_fd_ >= 0) {
      ok = ServeWhileWaiting(lock, *source, milliseconds, pulses_at_start);
    } else if (milliseconds == INFINITE) {
      cv_.wait(lock, released);
      ok = true;
    } else {
      ok = cv_.wait_for(lock, std::chrono::milliseconds(milliseconds), released);
    }
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
