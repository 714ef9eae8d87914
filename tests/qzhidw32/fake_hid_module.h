// A scripted "HID.DLL" on a minimal ground, to test the binding's rules in isolation:
// what each entry returns, which buffers it fills and how often the library is loaded.
#pragma once

#include <cstring>
#include <string>

#include "qzplatform/ground.h"
#include "qzplatform/test_hooks.h"
#include "qzplatform/hid.h"

namespace fakehid {

struct Script {
  BOOLEAN string_result = TRUE;
  std::u16string string_text;  // copied into the caller's buffer, NUL-terminated if it fits
  ULONG last_buffer_length = 0;
  ULONG last_string_index = 0;
  BOOLEAN report_result = TRUE;
  ULONG_PTR preparsed = 0;
  NTSTATUS status = HIDP_STATUS_SUCCESS;
  int module_lookups = 0;
  ULONG input_buffers = 0;
};

inline Script& script() {
  static Script s;
  return s;
}

inline BOOLEAN WINAPI GetString(HANDLE, PVOID buffer, ULONG length) {
  script().last_buffer_length = length;
  auto* out = static_cast<char16_t*>(buffer);
  std::size_t units = length / 2;
  const std::u16string& t = script().string_text;
  std::size_t n = t.size() < units ? t.size() : units;
  std::memcpy(out, t.data(), n * 2);
  if (n < units) out[n] = 0;
  return script().string_result;
}

inline BOOLEAN WINAPI GetIndexedString(HANDLE h, ULONG index, PVOID buffer, ULONG length) {
  script().last_string_index = index;
  return GetString(h, buffer, length);
}

inline BOOLEAN WINAPI Report(HANDLE, PVOID, ULONG) { return script().report_result; }
inline BOOLEAN WINAPI SetNumInputBuffers(HANDLE, ULONG count) {
  script().input_buffers = count;
  return script().report_result;
}
inline void WINAPI GetHidGuid(GUID* guid) { *guid = GUID{0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}}; }
inline BOOLEAN WINAPI GetPreparsedData(HANDLE, PHIDP_PREPARSED_DATA* p) {
  *p = reinterpret_cast<PHIDP_PREPARSED_DATA>(script().preparsed);
  return FALSE;  // the binding must use the handle, not the result
}
inline NTSTATUS WINAPI GetCaps(PHIDP_PREPARSED_DATA, HIDP_CAPS* caps) {
  caps->UsagePage = 0x0C;
  return script().status;
}

class Ground : public qzplatform::Ground {
 public:
  std::u16string_view Name() const override { return u"fake"; }
  std::shared_ptr<qzplatform::FileObject> OpenDevice(std::u16string_view, DWORD, DWORD, DWORD,
                                                     bool* is_device, DWORD*) override {
    *is_device = false;
    return nullptr;
  }
  std::shared_ptr<const qzplatform::Module> FindModule(std::u16string_view name) override {
    ++script().module_lookups;
    if (name != u"hid.dll") return nullptr;
    using qzplatform::Proc;
    return std::make_shared<qzplatform::Module>(
        u"HID.DLL",
        std::vector<qzplatform::Module::Entry>{
            {"HidD_GetHidGuid", Proc(GetHidGuid)},
            {"HidD_GetProductString", Proc(GetString)},
            {"HidD_GetManufacturerString", Proc(GetString)},
            {"HidD_GetSerialNumberString", Proc(GetString)},
            {"HidD_GetIndexedString", Proc(GetIndexedString)},
            {"HidD_GetPreparsedData", Proc(GetPreparsedData)},
            {"HidP_GetCaps", Proc(GetCaps)},
            {"HidD_GetInputReport", Proc(Report)},
            {"HidD_GetFeature", Proc(Report)},
            {"HidD_SetOutputReport", Proc(Report)},
            {"HidD_SetFeature", Proc(Report)},
            {"HidD_SetNumInputBuffers", Proc(SetNumInputBuffers)},
        });
  }
  bool GetVersion(OSVERSIONINFOEXW*) override { return false; }
};

}  // namespace fakehid
