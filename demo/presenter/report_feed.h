// Carries the memo lines of received reports from the monitoring thread to the window
// thread, in arrival order, without the monitoring thread ever waiting for the window.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "qzclasses/dispatcher.h"
#include "qzclasses/text.h"

namespace demo {

// The one place where received lines are batched on their way to the memo. Lines are
// queued under a short lock. The first line queued while no delivery is scheduled posts
// one delivery to the main thread (Dispatcher::Post), which hands the sink up to
// `maxBatch` lines at once. After a batch the next delivery comes at once while lines
// remain, else at the next tick of a `gather` timer, so a steady stream reaches the window
// in one append per interval while a lone line still shows at once; a delivery that finds
// nothing stops the timer. Without an installed dispatcher, or on the main thread, lines
// go to the sink at once. Shared with the posted deliveries and the timer: it outlives its
// owner, and after Detach nothing more is delivered.
class ReportFeed : public std::enable_shared_from_this<ReportFeed> {
 public:
  // Runs on the main thread with the lines in arrival order.
  using Sink = std::function<void(std::vector<qz::Text>& lines)>;

  // A zero `gather` delivers every batch as soon as the main thread gets to it.
  static std::shared_ptr<ReportFeed> Create(Sink sink, std::size_t maxBatch = 1000,
                                            std::chrono::milliseconds gather = {});

  // Any thread.
  void Push(qz::Text line);
  // Main thread: hands over everything queued now.
  void Flush();
  // Main thread. The window goes away: what is queued and everything later is dropped.
  void Detach();
  std::size_t Pending() const;

 private:
  ReportFeed(Sink sink, std::size_t maxBatch, std::chrono::milliseconds gather);
  void Deliver();
  void Schedule();
  void StopTimer();
  // Takes up to `limit` lines; `more` tells whether lines remain. Finding none ends the
  // scheduled delivery.
  std::vector<qz::Text> Take(std::size_t limit, bool& more);

  const Sink sink_;
  const std::size_t max_batch_;
  const std::chrono::milliseconds gather_;
  mutable std::mutex mutex_;  // guards lines_, scheduled_, detached_
  std::deque<qz::Text> lines_;
  bool scheduled_ = false;  // a delivery is posted or the gather timer runs
  bool detached_ = false;
  qz::TimerId timer_ = 0;  // main thread only
};

}  // namespace demo
