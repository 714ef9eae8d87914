// The main-thread dispatcher: hand-off of calls to the main thread, and timers.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace qz {

using TimerId = std::uint64_t;  // 0 is never a valid timer

// The main thread is the thread that installed the dispatcher. Worker threads hand calls
// to it with Synchronize (waiting) or Post (not waiting); the main thread runs them from
// its loop (ProcessQueued) and also while it waits for a worker (WaitUntil), so a worker
// that synchronizes while the main thread waits for it does not deadlock. A dispatcher
// must outlive every thread that hands calls to it.
class Dispatcher {
 public:
  Dispatcher();
  virtual ~Dispatcher();
  Dispatcher(const Dispatcher&) = delete;
  Dispatcher& operator=(const Dispatcher&) = delete;

  bool IsMainThread() const;

  // On the main thread runs f at once; elsewhere queues it, wakes the main thread and
  // blocks until it ran. An exception thrown by f is rethrown in the caller.
  void Synchronize(const std::function<void()>& f);
  // Queues f without waiting; it runs in order with Synchronize calls. An exception it
  // throws propagates out of the ProcessQueued (or, once done, the WaitUntil) that ran it.
  void Post(std::function<void()> f);
  // Runs everything queued so far (main thread only; elsewhere it does nothing).
  void ProcessQueued();
  // Main thread: keeps running queued calls until done() is true; the error of a failing
  // posted call is rethrown once done() holds. Elsewhere: waits for done().
  void WaitUntil(const std::function<bool()>& done);

  // tick runs on the main thread every ms milliseconds until KillTimer.
  virtual TimerId SetTimer(std::uint32_t ms, std::function<void()> tick) = 0;
  virtual void KillTimer(TimerId id) = 0;

  // Throws Error when no dispatcher is installed.
  static Dispatcher& Main();
  static bool IsInstalled();
  // Makes d the main dispatcher and the calling thread the main thread (nullptr uninstalls).
  static void Install(Dispatcher* d);

  // Wakes a main thread blocked in WaitUntil so it re-checks its condition at once.
  void Signal();

 protected:
  // Tells the main loop that calls were queued (the toolkit posts itself an event here).
  virtual void Wake() {}
  // Blocks the calling thread until something is queued, Signal() is called, or max passes.
  void WaitForWork(std::chrono::milliseconds max);

 private:
  struct Call {
    std::function<void()> f;
    bool waited = false;
    bool done = false;
    std::exception_ptr error;
  };

  void Enqueue(const std::shared_ptr<Call>& call);

  std::thread::id main_thread_;
  mutable std::mutex mutex_;
  std::condition_variable work_;  // something was queued or signalled
  std::condition_variable done_;  // a waited call finished
  std::deque<std::shared_ptr<Call>> queue_;
  std::uint64_t signals_ = 0;
};

}  // namespace qz
