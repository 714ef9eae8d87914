// Opening the current HID device with its report buffers, and closing it.
#include <utility>

#include "qzclasses/errors.h"
#include "qzhid/hid_private.h"
#include "qzsysutils/qzsysutils.h"

namespace qz {
namespace {

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
      std::lock_guard lock(fPrivate->openLock);
      fPrivate->openPreparsed = ppd;
      fPrivate->openPath = path;
      device.fPpd = ppd;
      fPrivate->openDevice = &device;
    }
    AllocReportBuffers();
    fPrivate->receiveFormat = LogPrefix() + hid_internal::kReceiveFormat;
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
    std::lock_guard lock(fPrivate->openLock);
    DetachOpenRecord();
    ppd = std::exchange(fPrivate->openPreparsed, 0);
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

}  // namespace qz
