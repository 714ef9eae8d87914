// Opening the current HID device, its report buffers, the monitoring loop on the I/O
// thread, the hand-off of input reports, and closing by the user or by the loop.
#include <atomic>
#include <cstring>
#include <exception>

#include "qzclasses/errors.h"
#include "qzhid/hid.h"
#include "qzsysutils/qzsysutils.h"

namespace qz {
namespace {

// OVERLAPPED::Internal while a transfer runs (STATUS_PENDING on Windows, and off it).
constexpr ULONG_PTR kStatusPending = 0x103;

constexpr const char16_t* kReceiveFormat = u"Do input data [%u] bytes ";

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

bool DeliveringHere(const TqzHid* hid) {
  for (const DeliveryFrame* f = t_deliveries; f; f = f->outer)
    if (f->hid == hid) return true;
  return false;
}

bool ReadPending(OVERLAPPED& ov) {
  return std::atomic_ref<ULONG_PTR>(ov.Internal).load(std::memory_order_acquire) ==
         kStatusPending;
}

// The loop never leaves with its read pending: the read names the loop's record and
// writes the input buffer, both of which go away or are replaced after the loop.
void EndPendingRead(HANDLE handle, OVERLAPPED& ov) {
  if (!ReadPending(ov)) return;
  CancelIo(handle);  // fails harmlessly when the closing side closed the handle first
  while (ReadPending(ov)) WaitForSingleObject(ov.hEvent, 10);
}

std::unique_ptr<std::uint8_t[]> ZeroBuffer(std::uint32_t length) {
  return length ? std::make_unique<std::uint8_t[]>(length) : nullptr;
}

}  // namespace

HANDLE TqzHid::OpenDevice() {
  if (!fHidDevice) {
    DoFatalError(16, 2, u"Active device is not selected", false);
    return INVALID_HANDLE_VALUE;
  }
  if (!PreviousLoopDone()) {
    DoFatalError(16, ERROR_BUSY, u"The device cannot be reopened while its last report is delivered",
                 false);
    return INVALID_HANDLE_VALUE;
  }
  TqzHidDevice& device = *fHidDevice;
  const Text path = device.NameSymbolic;
  LogAddFmt(dlDetail, u"try to open device %s", {path});

  static constexpr bool kAttempts[4][2] = {{true, true}, {true, false}, {false, true}, {false, false}};
  HANDLE handle = INVALID_HANDLE_VALUE;
  DWORD error = ERROR_SUCCESS;
  for (const auto& access : kAttempts) {
    fIsReadMode = access[0];
    fIsWriteMode = access[1];
    handle = OpenDeviceFile(path, access[0], access[1], fSharedMode, true);
    if (handle != INVALID_HANDLE_VALUE) break;
    error = GetLastError();
  }
  if (handle == INVALID_HANDLE_VALUE) {
    DoFatalError(16, error, SysErrorMessage(error), false);
    return INVALID_HANDLE_VALUE;
  }

  try {
    const PreparsedHandle ppd = HidD_GetPreparsedData(handle);
    {
      std::lock_guard lock(fOpenLock);
      fOpenPpd = ppd;
      fOpenPath = path;
      device.fPpd = ppd;
      fOpenDevice = &device;
    }
    AllocReportBuffers();
    fReceiveFormat = LogPrefix() + kReceiveFormat;
    // A device without input reports has nothing to read: a loop would only fail.
    isThreaded = fIsReadMode && fLenInputReport > 0;
    LogAddFmt(dlDetail, u"device has opened %s R:%d W:%d in:%u out:%u",
              {path, fIsReadMode ? 1 : 0, fIsWriteMode ? 1 : 0, device.InputReportLength(),
               device.OutputReportLength()});
  } catch (...) {
    CloseDevice(handle);
    throw;
  }
  return handle;
}

void TqzHid::AllocReportBuffers() {
  FreeReportBuffers();
  const TqzHidDevice* device = fHidDevice;
  fLenOutputReport = device ? device->OutputReportLength() : 0;
  fLenInputReport = device ? device->InputReportLength() : 0;
  fLenFeatureReport = device ? device->FeatureReportLength() : 0;
  fOutputReport = ZeroBuffer(fLenOutputReport);
  fInputReport = ZeroBuffer(fLenInputReport);
  fFeatureReport = ZeroBuffer(fLenFeatureReport);
}

void TqzHid::FreeReportBuffers() {
  fInputReport.reset();
  fOutputReport.reset();
  fFeatureReport.reset();
}

void TqzHid::CloseDevice(HANDLE Handle) {
  TqzBaseIO::CloseDevice(Handle);
  PreparsedHandle ppd = 0;
  {
    std::lock_guard lock(fOpenLock);
    DetachOpenRecord();
    ppd = std::exchange(fOpenPpd, 0);
  }
  if (ppd != 0) HidD_FreePreparsedData(ppd);
}

void TqzHid::DoClose() {
  // The loop running now; a reopen from OnClose on its own thread starts another,
  // which this close must not wait for.
  const std::shared_ptr<TqzThreadIO> loop = fThreadIO;
  LogAdd(dlDetail, u"close device.");
  IsThreadIOTerminated = true;
  PulseEvent(hEventThread);
  TqzBaseIO::DoClose();
  // Once a close from outside the loop returns, the loop has ended: Active reads
  // false even when the loop's own close was under way, and a reopen finds the
  // buffers free.
  WaitForLoop(loop);
}

void TqzHid::WaitForLoop(std::shared_ptr<TqzThreadIO> thread) {
  if (!thread || thread->Finished() || thread->IsCurrentThread() || DeliveringHere(this)) return;
  thread->WaitFor();
}

bool TqzHid::PreviousLoopDone() {
  WaitForLoop(std::exchange(fRetiredLoop, nullptr));
  const std::shared_ptr<TqzThreadIO> thread = fThreadIO;
  if (!thread || thread->Finished()) return true;
  // Inside a delivery the loop still uses the input buffer (or waits for this thread).
  if (DeliveringHere(this)) return false;
  if (thread->IsCurrentThread()) {
    // Outside a delivery the loop has closed the device and only returns from here on;
    // it touches neither buffer nor handle any more. It is kept to be waited for later,
    // so that no thread of the component outlives it.
    fRetiredLoop = thread;
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
    while (!done && ReadPending(ov) && !stopped()) {
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
  if (fReceiveFormat.empty()) {
    log->AddLogFmt(dlDebug, LogPrefix() + kReceiveFormat, args);
  } else {
    log->AddLogFmt(dlDebug, fReceiveFormat, args);
  }
}

}  // namespace qz
