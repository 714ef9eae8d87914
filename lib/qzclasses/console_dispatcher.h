// The dispatcher of a program without a window: installed by creating it, pumped while it waits.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "qzclasses/headless_dispatcher.h"

namespace qz {

// A console program creates one ConsoleDispatcher on its main thread before it opens a
// device, makes a data processor or a timer, and keeps it while it uses the library:
//
//   qz::ConsoleDispatcher dispatcher;   // installed; this thread is the main thread
//   ...
//   dispatcher.RunFor(std::chrono::seconds(5));   // hand-offs and timers run meanwhile
//
// Calls that workers hand to the main thread run whenever the main thread waits in the
// library (a close waiting for its I/O thread) or in RunFor/RunUntil; timers tick in real
// time, inside RunFor/RunUntil only (a timer that fell behind while the main thread was
// busy catches up its missed ticks there). Destroying it uninstalls it (as any dispatcher).
class ConsoleDispatcher : public HeadlessDispatcher {
 public:
  ConsoleDispatcher();

  TimerId SetTimer(std::uint32_t ms, std::function<void()> tick) override;

  // Runs hand-offs and due timers until done() holds or `limit` has passed; returns done().
  // done() is asked after each hand-off and timer tick, and at least every 10 ms.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
  void RunFor(std::chrono::milliseconds ms);

 private:
  // Real milliseconds since construction: the clock the timers run on.
  std::uint64_t Elapsed() const;

  const std::chrono::steady_clock::time_point start_;
};

}  // namespace qz
