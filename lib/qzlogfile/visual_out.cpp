// Delivery of log entries to the VisualOut control on the main thread, in order.
#include "qzlogfile/visual_out.h"

#include <utility>

#include "qzclasses/dispatcher.h"

namespace qz {

VisualOutQueue::VisualOutQueue(std::function<void()> onPostedFailure)
    : on_posted_failure_(std::move(onPostedFailure)) {}

void VisualOutQueue::SetControl(EditControl* control) {
  std::lock_guard lock(pending_mutex_);
  control_.store(control);
  component_ = control;
}

bool VisualOutQueue::ForgetControl(const Component* gone) {
  std::lock_guard lock(pending_mutex_);
  if (gone == nullptr || gone != component_) return false;
  control_.store(nullptr);
  component_ = nullptr;
  pending_.clear();
  return true;
}

void VisualOutQueue::Detach() {
  {
    std::lock_guard lock(report_mutex_);
    on_posted_failure_ = nullptr;
  }
  std::lock_guard lock(pending_mutex_);
  control_.store(nullptr);
  component_ = nullptr;
  pending_.clear();
}

bool VisualOutQueue::OnMainThread() const {
  return !Dispatcher::IsInstalled() || Dispatcher::Main().IsMainThread();
}

Text VisualOutQueue::TakePending() {
  std::lock_guard lock(pending_mutex_);
  posted_ = false;
  return std::exchange(pending_, Text());
}

void VisualOutQueue::Deliver(const Text& line) {
  {
    std::lock_guard lock(pending_mutex_);
    if (control_.load() == nullptr) return;
    pending_ += line;
    if (!OnMainThread()) {
      if (!posted_) {
        posted_ = true;
        Dispatcher::Main().Post([self = shared_from_this()] { self->DeliverPosted(); });
      }
      return;
    }
  }
  const Text lines = TakePending();
  if (EditControl* control = control_.load(); control != nullptr && !lines.empty()) {
    control->AppendText(lines);
  }
}

void VisualOutQueue::DeliverPosted() {
  const Text lines = TakePending();
  EditControl* control = control_.load();
  if (control == nullptr || lines.empty()) return;
  try {
    control->AppendText(lines);
  } catch (...) {
    // Nobody waits for a posted delivery: the sink's failure handler is told, and an
    // error it would raise has no caller to reach, so it ends here.
    std::lock_guard lock(report_mutex_);
    std::function<void()> report = on_posted_failure_;  // survives a handler that destroys the sink
    if (report) {
      try {
        report();
      } catch (...) {
      }
    }
  }
}

}  // namespace qz
