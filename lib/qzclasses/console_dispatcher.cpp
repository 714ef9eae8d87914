// The dispatcher of a program without a window: installed by creating it, pumped while it waits.
#include "qzclasses/console_dispatcher.h"

#include <algorithm>

namespace qz {

ConsoleDispatcher::ConsoleDispatcher() : start_(std::chrono::steady_clock::now()) {
  Dispatcher::Install(this);
}

std::uint64_t ConsoleDispatcher::Elapsed() const {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - start_)
                                        .count());
}

TimerId ConsoleDispatcher::SetTimer(std::uint32_t ms, std::function<void()> tick) {
  // The period starts now, not when the timers last ran.
  MoveClockTo(Elapsed());
  return HeadlessDispatcher::SetTimer(ms, std::move(tick));
}

namespace {

constexpr std::uint64_t kLookAgainMs = 10;

}  // namespace

bool ConsoleDispatcher::RunUntil(const std::function<bool()>& done,
                                 std::chrono::milliseconds limit) {
  const std::uint64_t end = Elapsed() + static_cast<std::uint64_t>(limit.count());
  for (;;) {
    ProcessQueued();
    const std::uint64_t now = std::min(Elapsed(), end);
    if (now > Now()) Advance(now - Now());
    if (done()) return true;
    if (now >= end) return false;
    // done() may turn true on another thread without a hand-off: look again now and then.
    std::uint64_t wait = std::min<std::uint64_t>(end - now, kLookAgainMs);
    if (const auto due = NextDue()) wait = std::min(wait, *due > now ? *due - now : 0);
    WaitForWork(std::chrono::milliseconds(wait + 1));
  }
}

void ConsoleDispatcher::RunFor(std::chrono::milliseconds ms) {
  RunUntil([] { return false; }, ms);
}

}  // namespace qz
