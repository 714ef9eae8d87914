// The main-thread dispatcher: queue of handed-off calls and the main thread's waits.
#include "qzclasses/dispatcher.h"

#include <atomic>

#include "qzclasses/errors.h"

namespace qz {

namespace {

std::atomic<Dispatcher*> g_main{nullptr};

// How often a waiting main thread re-checks its condition when nobody signals it.
constexpr std::chrono::milliseconds kPollInterval{5};

}  // namespace

Dispatcher::Dispatcher() : main_thread_(std::this_thread::get_id()) {}

Dispatcher::~Dispatcher() {
  Dispatcher* self = this;
  g_main.compare_exchange_strong(self, nullptr);
}

bool Dispatcher::IsMainThread() const {
  std::lock_guard lock(mutex_);
  return std::this_thread::get_id() == main_thread_;
}

void Dispatcher::Synchronize(const std::function<void()>& f) {
  if (IsMainThread()) {
    f();
    return;
  }
  auto call = std::make_shared<Call>();
  call->f = f;
  call->waited = true;
  Enqueue(call);
  std::unique_lock lock(mutex_);
  done_.wait(lock, [&] { return call->done; });
  // Take the error out under the lock: the main thread keeps no reference to it.
  std::exception_ptr error = std::move(call->error);
  lock.unlock();
  if (error) std::rethrow_exception(error);
}

void Dispatcher::Post(std::function<void()> f) {
  auto call = std::make_shared<Call>();
  call->f = std::move(f);
  Enqueue(call);
}

void Dispatcher::Enqueue(const std::shared_ptr<Call>& call) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(call);
  }
  work_.notify_all();
  Wake();
}

void Dispatcher::ProcessQueued() {
  if (!IsMainThread()) return;
  // Only what is queued now: calls queued by the calls themselves wait for the next round.
  std::size_t count;
  {
    std::lock_guard lock(mutex_);
    count = queue_.size();
  }
  for (; count > 0; --count) {
    std::shared_ptr<Call> call;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) return;
      call = queue_.front();
      queue_.pop_front();
    }
    std::exception_ptr error;
    try {
      call->f();
    } catch (...) {
      error = std::current_exception();
    }
    if (call->waited) {
      {
        std::lock_guard lock(mutex_);
        call->error = std::move(error);
        call->done = true;
      }
      done_.notify_all();
    } else if (error) {
      std::rethrow_exception(error);
    }
  }
}

void Dispatcher::WaitUntil(const std::function<bool()>& done) {
  const bool main = IsMainThread();
  std::exception_ptr error;
  for (;;) {
    if (!main) {
      if (done()) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    try {
      ProcessQueued();
    } catch (...) {
      // A failing posted call must not cut the wait short; its error comes after.
      if (!error) error = std::current_exception();
    }
    if (done()) break;
    WaitForWork(kPollInterval);
  }
  if (error) std::rethrow_exception(error);
}

void Dispatcher::WaitForWork(std::chrono::milliseconds max) {
  std::unique_lock lock(mutex_);
  const std::uint64_t seen = signals_;
  work_.wait_for(lock, max, [&] { return !queue_.empty() || signals_ != seen; });
}

void Dispatcher::Signal() {
  {
    std::lock_guard lock(mutex_);
    ++signals_;
  }
  work_.notify_all();
}

Dispatcher& Dispatcher::Main() {
  Dispatcher* d = g_main.load();
  if (!d) throw Error(
        u"No main-thread dispatcher is installed (a program without a window creates a "
        u"qz::ConsoleDispatcher on its main thread first: qzclasses/console_dispatcher.h)");
  return *d;
}

bool Dispatcher::IsInstalled() { return g_main.load() != nullptr; }

void Dispatcher::Install(Dispatcher* d) {
  if (d) {
    std::lock_guard lock(d->mutex_);
    d->main_thread_ = std::this_thread::get_id();
  }
  g_main.store(d);
}

}  // namespace qz
