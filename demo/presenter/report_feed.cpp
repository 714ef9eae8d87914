// Hand-off of received-report lines to the window thread.
#include "presenter/report_feed.h"

#include <algorithm>
#include <cstdint>

namespace demo {

std::shared_ptr<ReportFeed> ReportFeed::Create(Sink sink, std::size_t maxBatch,
                                               std::chrono::milliseconds gather) {
  return std::shared_ptr<ReportFeed>(new ReportFeed(std::move(sink), maxBatch, gather));
}

ReportFeed::ReportFeed(Sink sink, std::size_t maxBatch, std::chrono::milliseconds gather)
    : sink_(std::move(sink)), max_batch_(std::max<std::size_t>(maxBatch, 1)), gather_(gather) {}

void ReportFeed::Push(qz::Text line) {
  const bool direct = !qz::Dispatcher::IsInstalled() || qz::Dispatcher::Main().IsMainThread();
  bool post = false;
  {
    std::lock_guard lock(mutex_);
    if (detached_) return;
    lines_.push_back(std::move(line));
    if (!direct && !scheduled_) post = scheduled_ = true;
  }
  if (direct) {
    Flush();
  } else if (post) {
    qz::Dispatcher::Main().Post([self = shared_from_this()] { self->Deliver(); });
  }
}

std::vector<qz::Text> ReportFeed::Take(std::size_t limit, bool& more) {
  std::lock_guard lock(mutex_);
  std::vector<qz::Text> batch;
  if (detached_) lines_.clear();
  const std::size_t n = std::min(limit, lines_.size());
  batch.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    batch.push_back(std::move(lines_.front()));
    lines_.pop_front();
  }
  more = !lines_.empty();
  // Decided under the same lock as the take: a line queued after it finds either a
  // delivery still scheduled or none, and then posts one itself.
  if (batch.empty()) scheduled_ = false;
  return batch;
}

void ReportFeed::Flush() {
  bool more = true;
  while (more) {
    std::vector<qz::Text> batch = Take(SIZE_MAX, more);
    if (!batch.empty()) sink_(batch);
  }
}

void ReportFeed::Deliver() {
  bool more = false;
  std::vector<qz::Text> batch = Take(max_batch_, more);
  if (batch.empty()) {
    StopTimer();
    return;
  }
  // Still scheduled: the next delivery takes what comes meanwhile, or ends it.
  if (more || gather_.count() == 0) {
    qz::Dispatcher::Main().Post([self = shared_from_this()] { self->Deliver(); });
  } else {
    Schedule();
  }
  sink_(batch);
}

void ReportFeed::Schedule() {
  if (timer_ != 0) return;
  timer_ = qz::Dispatcher::Main().SetTimer(static_cast<std::uint32_t>(gather_.count()),
                                            [self = shared_from_this()] { self->Deliver(); });
  // Without a timer the next delivery is posted at once.
  if (timer_ == 0) qz::Dispatcher::Main().Post([self = shared_from_this()] { self->Deliver(); });
}

void ReportFeed::StopTimer() {
  if (timer_ == 0) return;
  // The timer holds this feed: killing it lets the feed go.
  if (qz::Dispatcher::IsInstalled()) qz::Dispatcher::Main().KillTimer(timer_);
  timer_ = 0;
}

void ReportFeed::Detach() {
  {
    std::lock_guard lock(mutex_);
    detached_ = true;
    lines_.clear();
  }
  StopTimer();
}

std::size_t ReportFeed::Pending() const {
  std::lock_guard lock(mutex_);
  return lines_.size();
}

}  // namespace demo
