// The HID component's report transfers: waited reads and writes through the device
// handle, the HID library's report requests, and the unwaited SendData.
#include <utility>

#include "qzhid/hid_private.h"
#include "qzsysutils/qzsysutils.h"

namespace qz {
namespace {

using hid_internal::Pending;

// A null buffer with bytes to move is refused before it reaches the system.
bool Refused(const void* buffer, std::uint32_t size) {
  if (buffer || size == 0) return false;
  SetLastError(ERROR_INVALID_PARAMETER);
  return true;
}

}  // namespace

bool TqzHid::WriteReport(const void* pcReport, std::uint32_t ReportSize) {
  if (!IsOpened() || Refused(pcReport, ReportSize)) return false;
  return WriteFileWait(fHandle.load(), pcReport, ReportSize, &fOvlWrite);
}

bool TqzHid::ReadReport(void* pcReport, std::uint32_t ReportSize) {
  if (!IsOpened() || Refused(pcReport, ReportSize)) return false;
  return ReadFileWait(fHandle.load(), pcReport, ReportSize, &fOvlRead);
}

bool TqzHid::GetInputReport(void* pcReport, std::uint32_t ReportSize) {
  if (!IsOpened() || Refused(pcReport, ReportSize)) return false;
  return HidD_GetInputReport(fHandle.load(), pcReport, ReportSize);
}

bool TqzHid::SetOutputReport(const void* pcReport, std::uint32_t ReportSize) {
  bool result = false;
  if (IsOpened() && !Refused(pcReport, ReportSize))
    // The library only reads the report.
    result = HidD_SetOutputReport(fHandle.load(), const_cast<void*>(pcReport), ReportSize);
  const DWORD error = GetLastError();
  LogAddFmt(dlDebug, u"SetOutputReport: %u %s %x",
            {result ? 1u : 0u, SysErrorMessage(error), static_cast<std::uint32_t>(error)});
  return result;
}

bool TqzHid::ReadFeature(void* pcReport, std::uint32_t ReportSize) {
  if (!IsOpened() || Refused(pcReport, ReportSize)) return false;
  return HidD_GetFeature(fHandle.load(), pcReport, ReportSize);
}

bool TqzHid::WriteFeature(const void* pcReport, std::uint32_t ReportSize) {
  if (!IsOpened() || Refused(pcReport, ReportSize)) return false;
  return HidD_SetFeature(fHandle.load(), const_cast<void*>(pcReport), ReportSize);
}

void TqzHid::SendChar(char16_t Ch) {
  const auto byte = static_cast<std::uint8_t>(Ch & 0xFF);
  WriteReport(&byte, 1);
}

void TqzHid::SendString(const std::string& S) {
  if (S.empty() || !std::in_range<std::uint32_t>(S.size())) return;
  WriteReport(S.data(), static_cast<std::uint32_t>(S.size()));
}

void TqzHid::SendData(const void* Buff, std::uint32_t N) {
  if (!IsOpened() || Refused(Buff, N)) return;
  std::lock_guard lock(fPrivate->asyncLock);
  // The record and the copy are reused: the previous write must have ended. A device
  // that has not taken it by the limit does not get this one either. The caller's buffer
  // is free as soon as this returns.
  if (WaitForSingleObject(fOvlAsync.hEvent, kSendDataWaitMs) != WAIT_OBJECT_0) {
    LogAddFmt(dlDetail, u"SendData: the previous write has not ended, %u bytes not sent", {N});
    SetLastError(ERROR_BUSY);
    return;
  }
  const auto* bytes = static_cast<const std::uint8_t*>(Buff);
  fPrivate->asyncData.assign(bytes, bytes + N);
  // A write that never started, or ended at once, is marked ended here rather than
  // relying on the system to signal the event for it.
  const bool started = WriteFileAsync(fHandle.load(), fPrivate->asyncData.data(), N, &fOvlAsync);
  if (!started || !Pending(fOvlAsync))
    SetEvent(fOvlAsync.hEvent);
}

void TqzHid::WaitAsyncWrite() {
  std::lock_guard lock(fPrivate->asyncLock);
  if (fOvlAsync.hEvent) WaitForSingleObject(fOvlAsync.hEvent, INFINITE);
}

}  // namespace qz
