// Wine's own virtual HID devices, as every test here finds them: a mouse and a keyboard of
// vendor 845E. Under Windows with real devices the same tests look only at these two.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "qzhid/hid.h"

namespace qztest {

constexpr std::uint16_t kVirtualVendor = 0x845E;

// The records of `hid`'s list that belong to the virtual devices, in list order.
inline std::vector<qz::TqzHidDevice*> VirtualDevices(qz::TqzHid& hid) {
  std::vector<qz::TqzHidDevice*> found;
  for (std::int32_t i = 0; i < hid.GetDeviceCount(); ++i) {
    auto* record = dynamic_cast<qz::TqzHidDevice*>(hid.GetDevice(i));
    if (record && record->VendorId() == kVirtualVendor) found.push_back(record);
  }
  return found;
}

}  // namespace qztest

namespace qztest {

// Windows' HID.DLL called directly, not through the library's binding, to have the
// system's own answers to compare with.
class SystemHid {
 public:
  SystemHid() : module_(LoadLibraryW(L"hid.dll")) {}
  ~SystemHid() { FreeLibrary(module_); }
  SystemHid(const SystemHid&) = delete;
  SystemHid& operator=(const SystemHid&) = delete;

  // The device's identity and capabilities; false when the system gives them not.
  struct Facts {
    HIDD_ATTRIBUTES attributes{sizeof(HIDD_ATTRIBUTES), 0, 0, 0};
    HIDP_CAPS caps{};
    std::vector<HIDP_BUTTON_CAPS> inputButtons;
    std::vector<HIDP_VALUE_CAPS> inputValues;
    std::wstring product;
  };
  bool Read(const wchar_t* path, Facts& facts) const {
    HANDLE file = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    bool read = Entry<PFN_HidD_GetPreparsedData>("HidD_GetPreparsedData")(file, &preparsed) &&
                Entry<PFN_HidD_GetAttributes>("HidD_GetAttributes")(file, &facts.attributes) &&
                Entry<PFN_HidP_GetCaps>("HidP_GetCaps")(preparsed, &facts.caps) ==
                    HIDP_STATUS_SUCCESS;
    if (read) {
      USHORT count = facts.caps.NumberInputButtonCaps;
      facts.inputButtons.resize(count);
      if (count > 0)
        read = Entry<PFN_HidP_GetButtonCaps>("HidP_GetButtonCaps")(
                   HidP_Input, facts.inputButtons.data(), &count, preparsed) ==
               HIDP_STATUS_SUCCESS;
      count = facts.caps.NumberInputValueCaps;
      facts.inputValues.resize(count);
      if (read && count > 0)
        read = Entry<PFN_HidP_GetValueCaps>("HidP_GetValueCaps")(
                   HidP_Input, facts.inputValues.data(), &count, preparsed) ==
               HIDP_STATUS_SUCCESS;
      wchar_t product[128] = {};
      if (Entry<PFN_HidD_GetString>("HidD_GetProductString")(file, product, 126))
        facts.product = product;
    }
    if (preparsed) Entry<PFN_HidD_FreePreparsedData>("HidD_FreePreparsedData")(preparsed);
    CloseHandle(file);
    return read;
  }

 private:
  template <typename F>
  F Entry(const char* name) const {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }
  HMODULE module_;
};

}  // namespace qztest
