// The HID component's monitoring loop on the I/O thread: the read of each input
// report, its hand-off to the receivers, and how closes and reopens meet the loop.
//
// Who closes or reopens, and what happens to the running loop:
//
//   caller                                 close                    reopen
//   -------------------------------------  -----------------------  ------------------------
//   another thread, outside a hand-off     stop, pulse, wait for    wait for the loop, open
//                                          the loop to end
//   the main thread inside a hand-off      stop, pulse, no wait     refused: fatal error 16,
//   (a receiver called from DoReceive)     (the loop waits for us)  detail ERROR_BUSY
//   the loop's own thread (failed read,    closes itself, no wait   the old loop is retired,
//   escaped error, OnClose handler)                                 waited for at the next
//                                                                   open or at destruction
//   the loop, after a reopen replaced it   nothing: the new open    -
//                                          is left alone
#include <cstring>
#include <exception>

#include "qzclasses/errors.h"
#include "qzhid/hid_private.h"
#include "qzsysutils/qzsysutils.h"

namespace qz {
namespace {

using hid_internal::Pending;

// The components whose DoReceive runs on this thread, innermost first. On the main
// thread such a frame means the loop is blocked handing a report over to us.
struct DeliveryFrame {
  const TqzHid* hid;
  const DeliveryFrame* outer;
};
thread_local const DeliveryFrame* t_deliveries = nullptr;

class Delivering {
 public:
  explicit Delivering(const TqzHid* hid) : frame_{hid, t_deliveries} { t_deliveries = &frame_; }
  ~Delivering() { t_deliveries = frame_.outer; }
  Delivering(const Delivering&) = delete;
  Delivering& operator=(const Delivering&) = delete;

 private:
  DeliveryFrame frame_;
};

// The loop never leaves with its read pending: the read names the loop's record and
// writes the input buffer, both of which go away or are replaced after the loop.
void EndPendingRead(HANDLE handle, OVERLAPPED& ov) {
  if (!Pending(ov)) return;
  CancelIo(handle);  // fails harmlessly when the closing side closed the handle first
  while (Pending(ov)) WaitForSingleObject(ov.hEvent, 10);
}

}  // namespace

namespace hid_internal {

bool DeliveringHere(const TqzHid* hid) {
  for (const DeliveryFrame* f = t_deliveries; f; f = f->outer)
    if (f->hid == hid) return true;
  return false;
}

}  // namespace hid_internal

using hid_internal::DeliveringHere;
using hid_internal::kReceiveFormat;

void TqzHid::WaitForLoop(std::shared_ptr<TqzThreadIO> thread) {
  if (!thread || thread->Finished() || thread->IsCurrentThread() || DeliveringHere(this)) return;
  thread->WaitFor();
}

bool TqzHid::PreviousLoopDone() {
  WaitForLoop(std::exchange(fPrivate->retiredLoop, nullptr));
  const std::shared_ptr<TqzThreadIO> thread = fThreadIO;
  if (!thread || thread->Finished()) return true;
  // Inside a delivery the loop still uses the input buffer (or waits for this thread).
  if (DeliveringHere(this)) return false;
  if (thread->IsCurrentThread()) {
    // Outside a delivery the loop has closed the device and only returns from here on;
    // it touches neither buffer nor handle any more. It is kept to be waited for later,
    // so that no thread of the component outlives it.
    fPrivate->retiredLoop = thread;
    return true;
  }
  thread->WaitFor();
  return true;
}

void TqzHid::ThreadIOExecute(TqzThreadIO* Thread) {
  try {
    Monitor(Thread);
  } catch (...) {
    const LinkUse use(*this);
    LoopFailed(std::current_exception(), Thread);
  }
  if (!Thread->Terminated()) IsThreadIOTerminated = true;
  const LinkUse use(*this);
  LogAdd(dlDebug, u"... exit monitoring thread.");
}

void TqzHid::Monitor(TqzThreadIO* Thread) {
  OVERLAPPED ov{};
  ov.hEvent = hEventThread;
  std::uint8_t* const buffer = fInputReport.get();
  const std::uint32_t length = fLenInputReport;
  {
    const LinkUse use(*this);
    LogAddFmt(dlDebug, u"Start monitoring thread ... InRepLen= %u", {length});
  }
  // A reopen from this thread terminates this loop's thread object and starts another.
  const auto stopped = [&] { return IsThreadIOTerminated.load() || Thread->Terminated(); };
  while (!stopped()) {
    if (buffer) std::memset(buffer, 0, length);
    const HANDLE handle = fHandle.load();
    bool done = ReadFileWait(handle, buffer, length, &ov);
    // A pulse that is no stop request leaves the read pending: wait on.
    while (!done && Pending(ov) && !stopped()) {
      DWORD transferred = 0;
      done = GetOverlappedResult(handle, &ov, &transferred, TRUE) != FALSE;
    }
    // Taken only now: while the loop waits for the device, removal notices need not wait.
    const LinkUse use(*this);
    if (stopped()) {
      EndPendingRead(handle, ov);
      break;
    }
    if (!done) {
      // The device went away: the component closes itself, here on the I/O thread.
      CloseFromLoop();
      break;
    }
    DoReceive(buffer, length);
  }
}

void TqzHid::LoopFailed(const std::exception_ptr& error, TqzThreadIO* Thread) {
  try {
    DoFatalError(16, 0, ErrorMessage(error), false);
  } catch (...) {
    // Raised here it would reach nobody: the handler and the log line are the report.
  }
  // A loop that a reopen from its own thread replaced leaves the new open alone.
  if (!Thread->Terminated()) CloseFromLoop();
}

void TqzHid::CloseFromLoop() {
  isThreaded = false;
  CloseDespiteErrors();
}

void TqzHid::CloseDespiteErrors() {
  try {
    DoClose();
    return;  // an OnClose that reopened leaves the new open alone
  } catch (...) {
    // A failing log line; the device is closed below all the same.
  }
  if (!IsOpened()) return;
  IsThreadIOTerminated = true;
  PulseEvent(hEventThread);
  try {
    TqzBaseIO::DoClose();
  } catch (...) {
  }
}

bool TqzHid::DoReceive(const void* Data, std::uint32_t Len) {
  const Delivering delivering(this);
  LogReceived(Len);
  bool result = true;
  if (HasReceivers()) result = TqzBaseIO::DoReceive(Data, Len);
  return result;
}

void TqzHid::LogReceived(std::uint32_t Len) {
  TqzCustomLogFile* log = GetLog();
  if (!log) return;
  // One argument list per thread, refilled for each report: a sink that drops the
  // line costs no allocation.
  thread_local FormatArgs args{FormatArg(0u)};
  args[0] = FormatArg(Len);
  if (fPrivate->receiveFormat.empty()) {
    log->AddLogFmt(dlDebug, LogPrefix() + kReceiveFormat, args);
  } else {
    log->AddLogFmt(dlDebug, fPrivate->receiveFormat, args);
  }
}

}  // namespace qz
