// Helpers for the ground tests (sim and linux): a sim machine installed per test, device
// handles that close themselves, and HID.DLL bound the way the library binds it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "qzplatform/hid.h"
#include "qzplatform/sim/sim_ground.h"
#include "qzplatform/test_hooks.h"

namespace simtest {

using Bytes = std::vector<std::uint8_t>;

// "01 02 FF" as bytes.
Bytes Hex(std::string_view text);

// A handle closed at the end of its scope.
class Handle {
 public:
  explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
  Handle(Handle&& other) noexcept : h_(other.release()) {}
  Handle& operator=(Handle&& other) noexcept;
  ~Handle() { reset(); }
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  HANDLE release() { return std::exchange(h_, INVALID_HANDLE_VALUE); }
  void reset();

 private:
  HANDLE h_;
};

// HID.DLL's entries, looked up by name through LoadLibraryW/GetProcAddress.
struct HidDll {
  HidDll();
  ~HidDll();
  HMODULE module = nullptr;
  PFN_HidD_GetHidGuid GetHidGuid = nullptr;
  PFN_HidD_GetAttributes GetAttributes = nullptr;
  PFN_HidD_GetPreparsedData GetPreparsedData = nullptr;
  PFN_HidD_FreePreparsedData FreePreparsedData = nullptr;
  PFN_HidP_GetCaps GetCaps = nullptr;
  PFN_HidP_GetButtonCaps GetButtonCaps = nullptr;
  PFN_HidP_GetValueCaps GetValueCaps = nullptr;
  PFN_HidD_GetString GetProductString = nullptr;
  PFN_HidD_GetString GetManufacturerString = nullptr;
  PFN_HidD_GetString GetSerialNumberString = nullptr;
  PFN_HidD_GetIndexedString GetIndexedString = nullptr;
  PFN_HidD_Report GetInputReport = nullptr;
  PFN_HidD_Report GetFeature = nullptr;
  PFN_HidD_Report SetOutputReport = nullptr;
  PFN_HidD_Report SetFeature = nullptr;
  PFN_QzHidD_GetReportDescriptor GetReportDescriptor = nullptr;
};

// Installs a machine for each test and removes it afterwards.
class SimTest : public ::testing::Test {
 protected:
  void TearDown() override;

  // Installs the machine described by `json` ({"devices": [...]}).
  void Load(std::string_view json);
  void UseDefault();

  std::u16string Path(std::size_t device, std::size_t collection = 0) const {
    return machine_->InterfacePath(device, collection);
  }
  // CreateFileW on a device interface; the last error tells why when it fails.
  Handle Open(const std::u16string& path, DWORD access,
              DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE, bool overlapped = true);
  // CreateFileW's error for this open (0 when it succeeded; the handle is closed).
  DWORD OpenError(const std::u16string& path, DWORD access,
                  DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE);

  std::shared_ptr<qzplatform::sim::Machine> machine_;
};

// An overlapped write waited for: 0 or the error code it failed with.
DWORD WriteError(HANDLE file, const Bytes& report);

// An overlapped read with its own auto-reset event.
struct PendingRead {
  explicit PendingRead(HANDLE file, DWORD length, std::uint8_t fill = 0xCC);
  ~PendingRead();
  PendingRead(const PendingRead&) = delete;
  PendingRead& operator=(const PendingRead&) = delete;

  // ReadFile's result and last error.
  BOOL started = FALSE;
  DWORD start_error = 0;
  bool pending() const;
  // Waits for the event, up to `timeout`; then GetOverlappedResult without waiting.
  bool Wait(std::chrono::milliseconds timeout = std::chrono::seconds(5));
  DWORD Error() const;  // the finished transfer's error code
  Bytes Data() const;   // the bytes the transfer reported

  HANDLE file;
  HANDLE event;
  OVERLAPPED ov{};
  Bytes buffer;
};

}  // namespace simtest
