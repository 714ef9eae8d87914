// Carries the memo lines of received reports from the monitoring thread to the window
// thread, in arrival order, without the monitoring thread ever waiting for the window.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "qzclasses/text.h"

namespace demo {

// Lines are queued under a short lock. The first line queued while no delivery is pending
// posts one delivery to the main thread (Dispatcher::Post), which hands the sink up to
// `maxBatch` lines at once and posts itself again for the rest, so a flood reaches the
// window in a few large appends while other events still get their turn. Without an
// installed dispatcher, or on the main thread, lines go to the sink at once. Shared with
// the posted deliveries: it outlives its owner, and after Detach nothing more is
// delivered.
class ReportFeed : public std::enable_shared_from_this<ReportFeed> {
 public:
  // Runs on the main thread with the lines in arrival order.
  using Sink = std::function<void(std::vector<qz::Text>& lines)>;

  static std::shared_ptr<ReportFeed> Create(Sink sink, std::size_t maxBatch = 1000);

  // Any thread.
  void Push(qz::Text line);
  // Main thread: hands over everything queued now.
  void Flush();
  // The window goes away: what is queued and everything later is dropped.
  void Detach();
  std::size_t Pending() const;

 private:
  ReportFeed(Sink sink, std::size_t maxBatch);
  void DeliverPosted();
  // Takes up to `limit` lines; `more` tells whether lines remain.
  std::vector<qz::Text> Take(std::size_t limit, bool& more);

  const Sink sink_;
  const std::size_t max_batch_;
  mutable std::mutex mutex_;  // guards lines_, posted_, detached_
  std::deque<qz::Text> lines_;
  bool posted_ = false;  // a delivery is queued on the main thread
  bool detached_ = false;
};

}  // namespace demo
