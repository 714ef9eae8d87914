// The main-thread dispatcher on Qt's event loop.
#include "ui/qt/qt_dispatcher.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimerEvent>

#include <algorithm>

#include "ui/qt/message_box.h"

namespace qzui {

namespace {

const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

QtDispatcher::QtDispatcher() = default;

QtDispatcher::~QtDispatcher() {
  for (const auto& [id, timer] : timers_) killTimer(timer.qt_id);
}

void QtDispatcher::Wake() {
  // Only the first wake-up since the last drain posts an event; the drain takes everything.
  if (!wake_pending_.exchange(true)) QCoreApplication::postEvent(this, new QEvent(kWakeEvent));
}

bool QtDispatcher::event(QEvent* e) {
  if (e->type() != kWakeEvent) return QObject::event(e);
  wake_pending_.store(false);
  Drain();
  return true;
}

void QtDispatcher::Drain() {
  try {
    ProcessQueued();
  } catch (...) {
    // The failing call stopped the round; what follows it runs in the next one.
    Wake();
    Report(std::current_exception());
  }
}

qz::TimerId QtDispatcher::SetTimer(std::uint32_t ms, std::function<void()> tick) {
  const int interval = static_cast<int>(std::clamp<std::uint32_t>(ms, kMinimumInterval, 0x7FFFFFFF));
  const int qt_id = startTimer(interval);
  if (qt_id == 0) return 0;
  const qz::TimerId id = next_id_++;
  timers_[id] = Timer{qt_id, std::move(tick)};
  by_qt_id_[qt_id] = id;
  return id;
}

void QtDispatcher::KillTimer(qz::TimerId id) {
  const auto it = timers_.find(id);
  if (it == timers_.end()) return;
  killTimer(it->second.qt_id);
  by_qt_id_.erase(it->second.qt_id);
  timers_.erase(it);
}

void QtDispatcher::timerEvent(QTimerEvent* e) {
  const auto found = by_qt_id_.find(e->timerId());
  if (found == by_qt_id_.end()) return;
  // A copy: the tick may kill its own timer.
  const std::function<void()> tick = timers_.at(found->second).tick;
  try {
    tick();
  } catch (...) {
    Report(std::current_exception());
  }
}

void QtDispatcher::Report(std::exception_ptr error) {
  if (on_error_) {
    on_error_(error);
  } else {
    ShowErrorReport(nullptr, error);
  }
}

}  // namespace qzui
