// Hand-off of received-report lines to the window thread.
#include "presenter/report_feed.h"

#include <algorithm>
#include <cstdint>

#include "qzclasses/dispatcher.h"

namespace demo {

std::shared_ptr<ReportFeed> ReportFeed::Create(Sink sink, std::size_t maxBatch) {
  return std::shared_ptr<ReportFeed>(new ReportFeed(std::move(sink), maxBatch));
}

ReportFeed::ReportFeed(Sink sink, std::size_t maxBatch)
    : sink_(std::move(sink)), max_batch_(std::max<std::size_t>(maxBatch, 1)) {}

void ReportFeed::Push(qz::Text line) {
  const bool direct = !qz::Dispatcher::IsInstalled() || qz::Dispatcher::Main().IsMainThread();
  bool post = false;
  {
    std::lock_guard lock(mutex_);
    if (detached_) return;
    lines_.push_back(std::move(line));
    if (!direct && !posted_) post = posted_ = true;
  }
  if (direct) {
    Flush();
  } else if (post) {
    qz::Dispatcher::Main().Post([self = shared_from_this()] { self->DeliverPosted(); });
  }
}

std::vector<qz::Text> ReportFeed::Take(std::size_t limit, bool& more) {
  std::lock_guard lock(mutex_);
  std::vector<qz::Text> batch;
  more = false;
  if (detached_) {
    posted_ = false;
    return batch;
  }
  const std::size_t n = std::min(limit, lines_.size());
  batch.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    batch.push_back(std::move(lines_.front()));
    lines_.pop_front();
  }
  more = !lines_.empty();
  // Decided under the same lock as the take: a line queued after it finds either a
  // delivery still pending or none, and then posts one itself.
  posted_ = posted_ && more;
  return batch;
}

void ReportFeed::Flush() {
  bool more = true;
  while (more) {
    std::vector<qz::Text> batch = Take(SIZE_MAX, more);
    if (!batch.empty()) sink_(batch);
  }
}

void ReportFeed::DeliverPosted() {
  bool more = false;
  std::vector<qz::Text> batch = Take(max_batch_, more);
  // Still marked as posted while lines remain: the next round is posted from here.
  if (more) qz::Dispatcher::Main().Post([self = shared_from_this()] { self->DeliverPosted(); });
  if (!batch.empty()) sink_(batch);
}

void ReportFeed::Detach() {
  std::lock_guard lock(mutex_);
  detached_ = true;
  lines_.clear();
}

std::size_t ReportFeed::Pending() const {
  std::lock_guard lock(mutex_);
  return lines_.size();
}

}  // namespace demo
