// The worker thread of an I/O component: runs the component's ThreadIOExecute.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace qz {

class Dispatcher;
class TqzBaseIO;

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// Ownership: the running thread holds a reference to its own object and drops it when the
// body returns (it releases itself); whoever else holds the shared pointer (the component)
// keeps the object valid for Terminate, WaitFor and Finished, so no operation ever touches
// a released thread object.
class TqzThreadIO : public std::enable_shared_from_this<TqzThreadIO> {
 public:
  // Creates the thread suspended: nothing runs until Start. Needs an installed dispatcher.
  static std::shared_ptr<TqzThreadIO> CreateSuspended(TqzBaseIO* Link, TThreadPriority pr);
  // CreateSuspended, then Start.
  static std::shared_ptr<TqzThreadIO> Create(TqzBaseIO* Link, TThreadPriority pr);
  ~TqzThreadIO();
  TqzThreadIO(const TqzThreadIO&) = delete;
  TqzThreadIO& operator=(const TqzThreadIO&) = delete;

  // Starts the body once; throws std::system_error when the system refuses a new thread.
  void Start();

  // The termination request; the body polls Terminated().
  void Terminate() { fTerminated = true; }
  bool Terminated() const { return fTerminated; }
  // True once the body has returned and the thread touches nothing of the component.
  bool Finished() const { return fFinished; }
  bool IsCurrentThread() const { return fThreadId.load() == std::this_thread::get_id(); }
  // The TqzThreadIO whose body runs on the calling thread, or null.
  static TqzThreadIO* Current();

  // Waits until the body has returned; on the main thread it keeps running main-thread
  // hand-offs meanwhile. Called on the thread itself it returns at once (it cannot wait
  // for itself).
  void WaitFor();
  // Runs f on the main thread and returns after it ran; f's error is rethrown here.
  void Synchronize(const std::function<void()>& f);

  TqzBaseIO* GetLink() const { return fqzLink; }
  TThreadPriority GetPriority() const { return fPriority; }

 private:
  TqzThreadIO(TqzBaseIO* Link, TThreadPriority pr, Dispatcher& dispatcher);
  void Execute();

  TqzBaseIO* fqzLink;
  TThreadPriority fPriority;
  Dispatcher& fDispatcher;
  std::thread fThread;
  std::atomic<std::thread::id> fThreadId{};
  std::atomic<bool> fStarted{false};
  std::atomic<bool> fTerminated{false};
  std::atomic<bool> fFinished{false};
};

}  // namespace qz
