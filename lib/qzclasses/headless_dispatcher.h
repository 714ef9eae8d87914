// A dispatcher without a window toolkit: manual pump and a virtual clock for timers.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>

#include "qzclasses/dispatcher.h"

namespace qz {

class HeadlessDispatcher : public Dispatcher {
 public:
  // Timers shorter than this are raised to it, as the system's timers are.
  static constexpr std::uint32_t kMinimumInterval = 10;

  TimerId SetTimer(std::uint32_t ms, std::function<void()> tick) override;
  void KillTimer(TimerId id) override;

  // Moves the virtual clock forward by ms, firing every timer that falls due, in order of
  // due time (then of creation). Main thread only.
  void Advance(std::uint64_t ms);
  std::uint64_t Now() const { return now_; }
  std::size_t TimerCount() const { return timers_.size(); }
  bool HasTimer(TimerId id) const { return timers_.count(id) != 0; }

  // Runs queued calls as they arrive for about ms real milliseconds (main thread only).
  void PumpFor(std::chrono::milliseconds ms);

 protected:
  void Wake() override { Signal(); }
  // Sets the clock forward to ms without firing: timers already due fire at the next Advance.
  void MoveClockTo(std::uint64_t ms);
  // When the earliest timer is due, if any timer runs.
  std::optional<std::uint64_t> NextDue() const;

 private:
  struct Timer {
    std::uint64_t interval;
    std::uint64_t due;
    std::function<void()> tick;
  };

  std::map<TimerId, Timer> timers_;
  TimerId next_id_ = 1;
  std::uint64_t now_ = 0;
};

}  // namespace qz
