// The main-thread dispatcher on Qt's event loop: handed-off calls wake the loop with one
// posted event, and timers are Qt timers of the main thread.
#pragma once

#include <QObject>

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>

#include "qzclasses/dispatcher.h"

namespace qzui {

// Create and install it on the thread that runs QApplication::exec. Queued calls run from
// the event loop, and also while that thread waits for a worker (Dispatcher::WaitUntil).
// Wake-ups are coalesced: at most one wake event is pending at a time.
class QtDispatcher final : public QObject, public qz::Dispatcher {
 public:
  // Receives the error of a posted call or a timer tick, which no caller waits for.
  using ErrorHandler = std::function<void(std::exception_ptr)>;

  // Timers shorter than this are raised to it, as the system's timers are.
  static constexpr std::uint32_t kMinimumInterval = 10;

  QtDispatcher();
  ~QtDispatcher() override;

  qz::TimerId SetTimer(std::uint32_t ms, std::function<void()> tick) override;
  void KillTimer(qz::TimerId id) override;
  std::size_t TimerCount() const { return timers_.size(); }

  // The default handler shows the error's message in an error box.
  void SetErrorHandler(ErrorHandler handler) { on_error_ = std::move(handler); }

 protected:
  void Wake() override;
  bool event(QEvent* e) override;
  void timerEvent(QTimerEvent* e) override;

 private:
  struct Timer {
    int qt_id;
    std::function<void()> tick;
  };

  void Drain();
  void Report(std::exception_ptr error);

  std::atomic<bool> wake_pending_{false};
  std::map<qz::TimerId, Timer> timers_;
  std::map<int, qz::TimerId> by_qt_id_;
  qz::TimerId next_id_ = 1;
  ErrorHandler on_error_;
};

}  // namespace qzui
