// The HID component's construction and destruction, the selection of the current
// device, the reload of its details and the decoded view of the open device's reports.
#include "qzhid/hid_private.h"

#include "qzclasses/errors.h"

namespace qz {

TqzHid::TqzHid(Component* owner)
    : TqzBaseIO(owner), fPrivate(std::make_unique<TqzHidPrivate>()) {
  sLogPrefix = u"qzHID: ";
  hEventThread = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  // Signalled while no write of SendData is in progress.
  fOvlAsync.hEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  if (!hEventThread || !fOvlAsync.hEvent) {
    if (hEventThread) CloseHandle(hEventThread);
    if (fOvlAsync.hEvent) CloseHandle(fOvlAsync.hEvent);
    throw Error(u"Cannot create the events of the HID component");
  }
}

TqzHid::~TqzHid() {
  // A failing log must not keep the device open under a destroyed component.
  if (GetActive() || IsOpened()) CloseDespiteErrors();
  // The input buffer and the events must outlive the loop and the last write.
  WaitForLoop(fThreadIO);
  WaitForLoop(fPrivate->retiredLoop);
  WaitAsyncWrite();
  CloseHandle(hEventThread);
  CloseHandle(fOvlAsync.hEvent);
  fOvlAsync.hEvent = nullptr;
  FreeReportBuffers();
}

void TqzHid::SetDeviceIndex(std::int32_t Value) {
  fDeviceIndex = Value;
  // A record of another kind in the list is no HID device to work on.
  fHidDevice = Value < 0 ? nullptr : dynamic_cast<TqzHidDevice*>(GetDevice(Value));
  TqzBaseIO::SetDeviceIndex(Value);
}

void TqzHid::DeviceListClear() {
  {
    std::lock_guard lock(fPrivate->openLock);
    DetachOpenRecord();
  }
  if (flClearDeviceListWithFree && fHidDevice && IndexOfDevice(fHidDevice) >= 0)
    fHidDevice = nullptr;
  TqzBaseIO::DeviceListClear();
}

void TqzHid::UpdateDeviceDetails() {
  if (!fHidDevice) return;
  std::lock_guard lock(fPrivate->openLock);
  // The open's preparsed data is not the load's to free: hide it during the load.
  struct Mirror {
    TqzHid& hid;
    TqzHidDevice* record;
    ~Mirror() {
      if (record) record->fPpd = hid.fPrivate->openPreparsed;
    }
  } mirror{*this, fHidDevice == fPrivate->openDevice ? fHidDevice : nullptr};
  if (mirror.record) mirror.record->fPpd = 0;
  LoadDeviceInfo(*fHidDevice, true);
}

DecodedReport TqzHid::DecodeReport(const void* report, ULONG length, ReportKind kind) {
  // Held so that a close on the loop's thread cannot free the preparsed data meanwhile.
  std::lock_guard lock(fPrivate->openLock);
  return qz::DecodeReport(fPrivate->openPreparsed, kind, report, length);
}

void TqzHid::AttachOpenRecord(TqzHidDevice* record) {
  DetachOpenRecord();
  if (!record || fPrivate->openPreparsed == 0) return;
  fPrivate->openDevice = record;
  record->fPpd = fPrivate->openPreparsed;
}

void TqzHid::DetachOpenRecord() {
  TqzHidDevice*& record = fPrivate->openDevice;
  if (record && record->fPpd == fPrivate->openPreparsed) record->fPpd = 0;
  record = nullptr;
}

}  // namespace qz
