// "HID.DLL" as every HID ground builds it: the ground supplies the calls that reach its
// devices; the GUID, the preparsed-data and HidP_ entries and the table are shared.
#pragma once

#ifndef _WIN32

#include <cstdint>
#include <memory>
#include <vector>

#include "qzplatform/ground.h"
#include "qzplatform/hid.h"
#include "qzplatform/hidshared/input_ring.h"
#include "qzplatform/trace.h"

namespace qzplatform::hidshared {

enum class HidString { kProduct, kManufacturer, kSerialNumber, kIndexed };

// A ground's string getter: the string `kind` (with `index` for kIndexed) of the device
// behind `handle`, copied into `buffer` of `length` bytes; FALSE with the last error.
using HidStringGetter = BOOLEAN (*)(HANDLE handle, HidString kind, ULONG index, PVOID buffer,
                                    ULONG length);

// The entries that reach a ground's devices.
struct HidDeviceEntries {
  PFN_HidD_GetAttributes get_attributes;
  PFN_HidD_GetPreparsedData get_preparsed_data;
  PFN_HidD_Report get_input_report, get_feature, set_output_report, set_feature;
  PFN_HidD_SetNumInputBuffers set_num_input_buffers;
  PFN_HidD_GetNumInputBuffers get_num_input_buffers;
  PFN_QzHidD_GetReportDescriptor get_report_descriptor;
};

// Copies a report descriptor for QzHidD_GetReportDescriptor: ERROR_SUCCESS, or
// ERROR_NOACCESS for a missing length pointer, or ERROR_INSUFFICIENT_BUFFER.
DWORD CopyReportDescriptor(const std::vector<std::uint8_t>& descriptor, PVOID buffer,
                           ULONG length, ULONG* descriptor_length);

struct HidStringEntries {
  PFN_HidD_GetString product, manufacturer, serial_number;
  PFN_HidD_GetIndexedString indexed;
};

// The module with its entries, traced: the shared ones here, the ground's as given.
std::shared_ptr<const Module> MakeHidModule(const HidDeviceEntries& device,
                                            const HidStringEntries& strings);

namespace detail {
template <HidStringGetter Get, HidString kind>
BOOLEAN WINAPI GetString(HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength) {
  return Get(HidDeviceObject, kind, 0, Buffer, BufferLength);
}
template <HidStringGetter Get>
BOOLEAN WINAPI GetIndexedString(HANDLE HidDeviceObject, ULONG StringIndex, PVOID Buffer,
                                ULONG BufferLength) {
  return Get(HidDeviceObject, HidString::kIndexed, StringIndex, Buffer, BufferLength);
}
}  // namespace detail

// The four string entries over one getter, traced.
template <HidStringGetter Get>
HidStringEntries StringEntriesOf() {
  using trace::Traced;
  return {Traced<"HidD_GetProductString", &detail::GetString<Get, HidString::kProduct>>,
          Traced<"HidD_GetManufacturerString", &detail::GetString<Get, HidString::kManufacturer>>,
          Traced<"HidD_GetSerialNumberString", &detail::GetString<Get, HidString::kSerialNumber>>,
          Traced<"HidD_GetIndexedString", &detail::GetIndexedString<Get>>};
}

// A ground's HID.DLL, made once: its device calls, its way to a handle's input ring and
// its string getter, each traced under its HID.DLL name, with the shared entries.
template <PFN_HidD_GetAttributes get_attributes, PFN_HidD_GetPreparsedData get_preparsed_data,
          PFN_HidD_Report get_input_report, PFN_HidD_Report get_feature,
          PFN_HidD_Report set_output_report, PFN_HidD_Report set_feature,
          PFN_QzHidD_GetReportDescriptor get_report_descriptor, InputRingAccess input_ring,
          HidStringGetter get_string>
std::shared_ptr<const Module> HidModuleOf() {
  using trace::Traced;
  static const auto module = MakeHidModule(
      {Traced<"HidD_GetAttributes", get_attributes>,
       Traced<"HidD_GetPreparsedData", get_preparsed_data>,
       Traced<"HidD_GetInputReport", get_input_report>, Traced<"HidD_GetFeature", get_feature>,
       Traced<"HidD_SetOutputReport", set_output_report>, Traced<"HidD_SetFeature", set_feature>,
       Traced<"HidD_SetNumInputBuffers", &HidD_SetNumInputBuffers<input_ring>>,
       Traced<"HidD_GetNumInputBuffers", &HidD_GetNumInputBuffers<input_ring>>,
       Traced<"QzHidD_GetReportDescriptor", get_report_descriptor>},
      StringEntriesOf<get_string>());
  return module;
}

}  // namespace qzplatform::hidshared

#endif  // !_WIN32
