// A dispatcher without a window toolkit: manual pump and a virtual clock for timers.
#include "qzclasses/headless_dispatcher.h"

#include <algorithm>

namespace qz {

TimerId HeadlessDispatcher::SetTimer(std::uint32_t ms, std::function<void()> tick) {
  const std::uint64_t interval = std::max(ms, kMinimumInterval);
  const TimerId id = next_id_++;
  timers_[id] = Timer{interval, now_ + interval, std::move(tick)};
  return id;
}

void HeadlessDispatcher::KillTimer(TimerId id) { timers_.erase(id); }

void HeadlessDispatcher::Advance(std::uint64_t ms) {
  const std::uint64_t target = now_ + ms;
  for (;;) {
    auto next = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
      if (it->second.due <= target && (next == timers_.end() || it->second.due < next->second.due)) {
        next = it;
      }
    }
    if (next == timers_.end()) break;
    now_ = next->second.due;
    next->second.due += next->second.interval;
    // The tick may kill or set timers (itself included), so call a copy.
    const std::function<void()> tick = next->second.tick;
    tick();
  }
  now_ = target;
}

void HeadlessDispatcher::MoveClockTo(std::uint64_t ms) { now_ = std::max(now_, ms); }

std::optional<std::uint64_t> HeadlessDispatcher::NextDue() const {
  std::optional<std::uint64_t> due;
  for (const auto& [id, timer] : timers_) {
    if (!due || timer.due < *due) due = timer.due;
  }
  return due;
}

void HeadlessDispatcher::PumpFor(std::chrono::milliseconds ms) {
  const auto end = std::chrono::steady_clock::now() + ms;
  for (;;) {
    ProcessQueued();
    const auto now = std::chrono::steady_clock::now();
    if (now >= end) break;
    WaitForWork(std::chrono::duration_cast<std::chrono::milliseconds>(end - now) +
                std::chrono::milliseconds(1));
  }
}

}  // namespace qz
