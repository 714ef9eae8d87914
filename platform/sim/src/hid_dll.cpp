// The sim ground's "HID.DLL": its entries over the simulated devices and the
// descriptor parser's queries.
#include <algorithm>
#include <cstring>
#include <optional>

#include "device_file.h"
#include "qzplatform/hidshared/hid_module.h"
#include "qzplatform/hidshared/hid_strings.h"
#include "qzplatform/hidshared/input_ring.h"
#include "qzplatform/hidshared/preparsed_tokens.h"
#include "qzplatform/sim/sim_ground.h"

namespace qzplatform::sim {
namespace {

// Runs `call` on the device behind `handle`; FALSE with the last error on failure.
template <typename Call>
BOOLEAN OnDevice(HANDLE handle, Call call) {
  auto file = LookupHandleAs<DeviceFile>(handle);
  if (!file) return Failed(ERROR_INVALID_HANDLE);
  auto machine = file->machine();
  if (!machine) return Failed(ERROR_DEVICE_NOT_CONNECTED);
  const DWORD error = call(*machine, *file);
  return error == ERROR_SUCCESS ? TRUE : Failed(error);
}

BOOLEAN GetString(HANDLE handle, hidshared::HidString kind, ULONG index, PVOID buffer,
                  ULONG length) {
  return OnDevice(handle, [&](MachineState& m, DeviceFile& f) -> DWORD {
    std::u16string text;
    if (DWORD error = m.String(f.target(), static_cast<int>(kind), index, &text)) return error;
    return hidshared::CopyHidString(text, buffer, length);
  });
}

BOOLEAN WINAPI HidD_GetAttributes(HANDLE HidDeviceObject, HIDD_ATTRIBUTES* Attributes) {
  return OnDevice(HidDeviceObject, [&](MachineState& m, DeviceFile& f) {
    return m.Attributes(f.target(), Attributes);
  });
}

BOOLEAN WINAPI HidD_GetPreparsedData(HANDLE HidDeviceObject, PHIDP_PREPARSED_DATA* PreparsedData) {
  return OnDevice(HidDeviceObject, [&](MachineState& m, DeviceFile& f) -> DWORD {
    if (!PreparsedData) return ERROR_NOACCESS;
    PreparsedDataReply reply;
    if (DWORD error = m.Preparsed(f.target(), &reply)) return error;
    *PreparsedData = hidshared::NewPreparsedToken(std::move(reply.data), reply.corrupt);
    return ERROR_SUCCESS;
  });
}

// Input and output reports by request need the handle's read or write access, as the
// transfers do; feature reports need none.
BOOLEAN WINAPI HidD_GetInputReport(HANDLE HidDeviceObject, PVOID ReportBuffer,
                                   ULONG ReportBufferLength) {
  return OnDevice(HidDeviceObject, [&](MachineState& m, DeviceFile& f) -> DWORD {
    if (!f.access().read) return ERROR_ACCESS_DENIED;
    return m.GetReport(f.target(), HidP_Input, static_cast<std::uint8_t*>(ReportBuffer),
                       ReportBufferLength);
  });
}

BOOLEAN WINAPI HidD_GetFeature(HANDLE HidDeviceObject, PVOID ReportBuffer,
                               ULONG ReportBufferLength) {
  return OnDevice(HidDeviceObject, [&](MachineState& m, DeviceFile& f) {
    return m.GetReport(f.target(), HidP_Feature, static_cast<std::uint8_t*>(ReportBuffer),
                       ReportBufferLength);
  });
}

BOOLEAN WINAPI HidD_SetOutputReport(HANDLE HidDeviceObject, PVOID ReportBuffer,
                                    ULONG ReportBufferLength) {
  return OnDevice(HidDeviceObject, [&](MachineState& m, DeviceFile& f) -> DWORD {
    if (!f.access().write) return ERROR_ACCESS_DENIED;
    return m.SetReport(f.target(), HidP_Output, static_cast<const std::uint8_t*>(ReportBuffer),
                       ReportBufferLength, false);
  });
}

BOOLEAN WINAPI HidD_SetFeature(HANDLE HidDeviceObject, PVOID ReportBuffer,
                               ULONG ReportBufferLength) {
  return OnDevice(HidDeviceObject, [&](MachineState& m, DeviceFile& f) {
    return m.SetReport(f.target(), HidP_Feature, static_cast<const std::uint8_t*>(ReportBuffer),
                       ReportBufferLength, false);
  });
}

BOOLEAN WINAPI QzHidD_GetReportDescriptor(HANDLE HidDeviceObject, PVOID Buffer,
                                          ULONG BufferLength, ULONG* DescriptorLength) {
  return OnDevice(HidDeviceObject, [&](MachineState& m, DeviceFile& f) {
    std::vector<std::uint8_t> descriptor;
    if (DWORD error = m.ReportDescriptor(f.target(), &descriptor)) return error;
    return hidshared::CopyReportDescriptor(descriptor, Buffer, BufferLength, DescriptorLength);
  });
}

BOOLEAN InputRingOf(HANDLE handle, const hidshared::InputRingUse& use) {
  return OnDevice(handle, [&](MachineState&, DeviceFile& f) { return f.UseInputRing(use); });
}

}  // namespace

std::shared_ptr<const Module> HidModule() {
  return hidshared::HidModuleOf<&HidD_GetAttributes, &HidD_GetPreparsedData,
                                &HidD_GetInputReport, &HidD_GetFeature, &HidD_SetOutputReport,
                                &HidD_SetFeature, &QzHidD_GetReportDescriptor, &InputRingOf,
                                &GetString>();
}

}  // namespace qzplatform::sim
