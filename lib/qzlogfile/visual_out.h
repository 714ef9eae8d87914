// Mirrors log entries into an edit control, which only the main thread may touch.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "qzclasses/edit_control.h"

namespace qz {

// Entries are queued in the order the sink adds them (the sink calls Deliver under its
// lock). On the main thread (or when no dispatcher is installed) Deliver appends every
// queued entry at once; on another thread it posts one delivery to the main thread and
// returns without waiting, so a worker never blocks on the main thread while it holds
// the sink's lock. Shared with the posted deliveries, so it outlives the sink.
class VisualOutQueue : public std::enable_shared_from_this<VisualOutQueue> {
 public:
  // `onPostedFailure` runs on the main thread when a posted delivery fails.
  explicit VisualOutQueue(std::function<void()> onPostedFailure);

  EditControl* Control() const { return control_.load(); }
  void SetControl(EditControl* control);
  // Drops the control when `gone` is the one set (removal notice); true if it was.
  bool ForgetControl(const Component* gone);
  // The sink goes away: pending and later deliveries are dropped, failures unreported.
  void Detach();

  // Queues `line` for the control. On the main thread appends what is queued and lets
  // the control's error propagate.
  void Deliver(const Text& line);

 private:
  bool OnMainThread() const;
  Text TakePending();
  void DeliverPosted();

  std::atomic<EditControl*> control_{nullptr};
  const Component* component_ = nullptr;  // the control as a component, for removal notices
  std::mutex pending_mutex_;              // guards component_, pending_, posted_
  Text pending_;
  bool posted_ = false;  // a delivery is queued on the main thread and has not started
  std::recursive_mutex report_mutex_;  // a failure report and Detach exclude each other
  std::function<void()> on_posted_failure_;
};

}  // namespace qz
