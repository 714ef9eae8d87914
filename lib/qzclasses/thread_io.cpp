// The worker thread of an I/O component: runs the component's ThreadIOExecute.
#include "qzclasses/thread_io.h"

#include "qzclasses/base_io.h"
#include "qzclasses/dispatcher.h"
#include "qzclasses/errors.h"
#include "qzplatform/com.h"
#include "qzplatform/win32.h"

namespace qz {

namespace {

thread_local TqzThreadIO* t_current = nullptr;

int SystemPriority(TThreadPriority pr) {
  switch (pr) {
    case tpIdle: return THREAD_PRIORITY_IDLE;
    case tpLowest: return THREAD_PRIORITY_LOWEST;
    case tpLower: return THREAD_PRIORITY_BELOW_NORMAL;
    case tpNormal: return THREAD_PRIORITY_NORMAL;
    case tpHigher: return THREAD_PRIORITY_ABOVE_NORMAL;
    case tpHighest: return THREAD_PRIORITY_HIGHEST;
    case tpTimeCritical: return THREAD_PRIORITY_TIME_CRITICAL;
  }
  return THREAD_PRIORITY_NORMAL;
}

}  // namespace

TqzThreadIO::TqzThreadIO(TqzBaseIO* Link, TThreadPriority pr, Dispatcher& dispatcher)
    : fqzLink(Link), fPriority(pr), fDispatcher(dispatcher) {}

std::shared_ptr<TqzThreadIO> TqzThreadIO::CreateSuspended(TqzBaseIO* Link, TThreadPriority pr) {
  if (!Link) throw Error(u"The I/O thread needs a component");
  return std::shared_ptr<TqzThreadIO>(new TqzThreadIO(Link, pr, Dispatcher::Main()));
}

std::shared_ptr<TqzThreadIO> TqzThreadIO::Create(TqzBaseIO* Link, TThreadPriority pr) {
  auto thread = CreateSuspended(Link, pr);
  thread->Start();
  return thread;
}

TqzThreadIO::~TqzThreadIO() {
  if (!fThread.joinable()) return;
  // The last reference goes either on the thread itself, as its body ends (it cannot join
  // itself), or elsewhere after the thread dropped its own, when it is about to exit.
  if (fThread.get_id() == std::this_thread::get_id()) {
    fThread.detach();
  } else {
    fThread.join();
  }
}

void TqzThreadIO::Start() {
  if (fStarted.exchange(true)) return;
  try {
    fThread = std::thread([self = shared_from_this()] { self->Execute(); });
  } catch (...) {
    fStarted = false;
    throw;
  }
}

TqzThreadIO* TqzThreadIO::Current() { return t_current; }

void TqzThreadIO::Execute() {
  fThreadId = std::this_thread::get_id();
  t_current = this;
  SetThreadPriority(GetCurrentThread(), SystemPriority(fPriority));
  // Handlers that run on this thread may use COM.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  try {
    fqzLink->ThreadIOExecute(this);
  } catch (...) {
    // An error escaping the body ends the thread quietly.
  }
  if (SUCCEEDED(com)) CoUninitialize();
  t_current = nullptr;
  // Wake a waiting main thread before the last access to shared state: once Finished
  // reads true, the dispatcher and the component may go away.
  fDispatcher.Signal();
  fFinished = true;
}

void TqzThreadIO::WaitFor() {
  if (!fStarted || IsCurrentThread()) return;
  fDispatcher.WaitUntil([this] { return Finished(); });
}

void TqzThreadIO::Synchronize(const std::function<void()>& f) { fDispatcher.Synchronize(f); }

}  // namespace qz
