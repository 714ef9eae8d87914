// TqzHid: the HID component. Lists HID device interfaces as TqzHidDevice records,
// loads their identity and capabilities, opens the current one, watches it for input
// reports on the I/O thread and transfers reports.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>

#include "qzclasses/base_io.h"
#include "qzhid/hid_device.h"
#include "qzhid/report_decoder.h"

namespace qz {

struct TqzHidPrivate;

class TqzHid : public TqzBaseIO {
 public:
  explicit TqzHid(Component* owner);
  // Closes an open device and waits for its monitoring loop before the buffers go.
  ~TqzHid() override;
  Text ClassName() const override { return u"TqzHid"; }

  // Fills `device` from the HID library; true when the record is usable. With
  // readStrings the product, manufacturer and serial number strings are read too.
  bool LoadDeviceInfo(TqzHidDevice& device, bool readStrings);
  // Opens a device path; INVALID_HANDLE_VALUE on failure (reason in GetLastError).
  HANDLE OpenDeviceFile(const Text& path, bool read, bool write, bool shared, bool overlapped);

  // Opening: tries read+write, read, write, then no access. Fatal error 16 when no
  // record is current (detail 2), when every attempt fails (detail: the system's code),
  // or when a reopen is asked for while the previous loop is handing a report over and
  // cannot be waited for (detail ERROR_BUSY).
  HANDLE OpenDevice() override;
  // Closes the handle and releases the preparsed data obtained at open, once.
  void CloseDevice(HANDLE Handle) override;
  // Stop request, pulse, the base's close; then, unless called from the loop itself or
  // from inside its hand-off to this thread, waits until the loop has ended.
  void DoClose() override;
  // The monitoring loop: one overlapped read of a whole input report at a time. An
  // error escaping it (a receiver's, a failing log) is reported as fatal error 16 and
  // closes the device, so OnClose fires and Active reads false.
  void ThreadIOExecute(TqzThreadIO* Thread) override;
  // Logs the block and passes it to the receive path when anything receives.
  bool DoReceive(const void* Data, std::uint32_t Len) override;
  // Keeps the index and makes the record at that position current (none outside).
  void SetDeviceIndex(std::int32_t Value) override;
  std::int32_t GetDeviceIndex() const override { return fDeviceIndex; }
  // Rebuilds the device list from the system's HID interfaces.
  void DeviceListLoad() override;
  // Also forgets the current record when the list frees it.
  void DeviceListClear() override;
  void Update() override;

  // Transfers. None adds, pads or checks anything: the caller gives the whole report,
  // report ID first. The Boolean ones are false while closed or when the system
  // refuses; a null buffer with a non-zero size is refused without a system call.
  // SendData copies the bytes and returns once the write has started; a later SendData
  // first waits for the earlier write to end, at most kSendDataWaitMs: when it has not
  // ended by then, the new bytes are not sent (logged at dlDetail, last error ERROR_BUSY).
  static constexpr DWORD kSendDataWaitMs = 1000;
  void SendData(const void* Buff, std::uint32_t N) override;
  void SendChar(char16_t Ch) override;             // one byte: the low 8 bits
  void SendString(const std::string& S) override;  // nothing for an empty S
  void ClearDeviceInput() override {}
  void ClearDeviceOutput() override {}
  void ClearDeviceBuffers() override {}
  bool WriteReport(const void* pcReport, std::uint32_t ReportSize);  // waits, no time limit
  bool ReadReport(void* pcReport, std::uint32_t ReportSize);         // waits, no time limit
  bool GetInputReport(void* pcReport, std::uint32_t ReportSize);
  // Logs "SetOutputReport: <1|0> <system text> <code>" with the thread's last error.
  bool SetOutputReport(const void* pcReport, std::uint32_t ReportSize);
  bool ReadFeature(void* pcReport, std::uint32_t ReportSize);
  bool WriteFeature(const void* pcReport, std::uint32_t ReportSize);

  // The decoded view of a whole report (report ID first) of the open device; status
  // HIDP_STATUS_INVALID_PREPARSED_DATA while no device is open. Any thread.
  DecodedReport DecodeReport(const void* report, ULONG length,
                             ReportKind kind = ReportKind::Input);

  // Reloads the current record with its strings.
  virtual void UpdateDeviceDetails();

  // The operating-system state of the current device, named by its InstanceId: each
  // logs its request and hands it to the device-installation interface; nothing happens
  // without a current device. The device is neither closed nor reopened (a disabled
  // open device makes the monitoring loop close it). Disable, Enable and Restart raise
  // qz::Error when the system cannot open the device, and return false, with the reason
  // in the thread's last error, when it refuses the change (also without a current
  // device); Remove and Reset fail silently. Reset blocks for at least 1000 ms; a change
  // made by the helper program until it ends.
  bool Disable();
  bool Enable();
  void Remove();
  void Reset();
  bool Restart();

  bool GetSharedMode() const { return fSharedMode; }
  void SetSharedMode(bool value) { fSharedMode = value; }
  bool GetEnumFullMode() const { return fEnumFullMode; }
  void SetEnumFullMode(bool value) { fEnumFullMode = value; }
  TqzHidDevice* HidDevice() const { return fHidDevice; }
  bool IsReadMode() const { return fIsReadMode; }
  bool IsWriteMode() const { return fIsWriteMode; }
  // Lengths of the device at its last open (0 before the first).
  std::uint32_t OutputReportLength() const { return fLenOutputReport; }
  std::uint32_t InputReportLength() const { return fLenInputReport; }
  std::uint32_t FeatureReportLength() const { return fLenFeatureReport; }
  HANDLE Handle() const { return fHandle.load(); }

 protected:
  void AllocReportBuffers();
  void FreeReportBuffers();

  std::int32_t fDeviceIndex = 0;
  TqzHidDevice* fHidDevice = nullptr;
  // Zero-filled, of the lengths below; null when the length is 0. Kept after a close.
  std::unique_ptr<std::uint8_t[]> fOutputReport;
  std::unique_ptr<std::uint8_t[]> fInputReport;
  std::unique_ptr<std::uint8_t[]> fFeatureReport;
  std::atomic<std::uint32_t> fLenOutputReport{0};
  std::atomic<std::uint32_t> fLenInputReport{0};
  std::atomic<std::uint32_t> fLenFeatureReport{0};
  std::atomic<bool> fIsWriteMode{false};
  std::atomic<bool> fIsReadMode{false};
  bool fSharedMode = true;
  HANDLE hEventThread = nullptr;  // the loop's read event; pulsed to release it
  bool flLock = false;            // set while DeviceListLoad runs
  bool fEnumFullMode = false;

 private:
  // Waits until the loop has ended, except on the loop's own thread and inside its
  // hand-off of a report to this thread (the loop waits for us there).
  void WaitForLoop(std::shared_ptr<TqzThreadIO> thread);
  // Before a reopen: true once no earlier loop can touch the buffers any more.
  bool PreviousLoopDone();
  // The monitoring loop proper; errors of the receivers pass through.
  void Monitor(TqzThreadIO* Thread);
  // An error left the loop: fatal error 16 (detail 0, the error's message) through
  // OnFatalError and the log, raised nowhere; then the device closes as after a failed
  // read, unless a reopen has replaced the loop.
  void LoopFailed(const std::exception_ptr& error, TqzThreadIO* Thread);
  // The loop's own close, after a failed read or an error.
  void CloseFromLoop();
  // DoClose; when it fails before the handle is closed (a failing log), the close
  // happens all the same, without its log line. Raises nothing.
  void CloseDespiteErrors();
  // Waits until the last SendData's write has ended.
  void WaitAsyncWrite();
  // The mirror of the open's preparsed data in a list record (the open lock held).
  void AttachOpenRecord(TqzHidDevice* record);
  void DetachOpenRecord();
  void LogReceived(std::uint32_t Len);

  // Our own bookkeeping of the open, the loop and SendData (hid_private.h).
  std::unique_ptr<TqzHidPrivate> fPrivate;
};

}  // namespace qz
