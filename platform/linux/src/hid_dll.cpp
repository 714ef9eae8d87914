// The linux ground's "HID.DLL": identity and strings from hidraw ioctls and sysfs,
// preparsed data and caps from the descriptor parser, report requests over the
// hidraw report ioctls.
#include <algorithm>
#include <cstring>
#include <linux/hidraw.h>
#include <sys/ioctl.h>

#include "hidraw_file.h"
#include "qzplatform/hidshared/collection_kind.h"
#include "qzplatform/hidshared/hid_module.h"
#include "qzplatform/hidshared/hid_strings.h"
#include "qzplatform/hidshared/input_ring.h"
#include "qzplatform/hidshared/preparsed_tokens.h"

namespace qzplatform::linux_ground {
namespace {

// Runs `call` on the live device interface behind `handle`; FALSE with the last error
// on failure.
template <typename Call>
BOOLEAN OnDevice(HANDLE handle, Call call) {
  auto file = LookupHandleAs<HidrawFile>(handle);
  if (!file) return Failed(ERROR_INVALID_HANDLE);
  if (DWORD error = file->Alive()) return Failed(error);
  const DWORD error = call(*file);
  return error == ERROR_SUCCESS ? TRUE : Failed(error);
}

using StringKind = hidshared::HidString;

// A device string as sysfs keeps it: a USB device's string descriptors; for other
// buses the HID device's name and unique ID. None when the device has no such string.
std::optional<std::string> DeviceString(HidrawFile& f, StringKind kind, ULONG index) {
  const SysfsHidDevice& node = f.node();
  if (node.usb) {
    const UsbDevice& usb = *node.usb;
    switch (kind) {
      case StringKind::kProduct: return usb.product;
      case StringKind::kManufacturer: return usb.manufacturer;
      case StringKind::kSerialNumber: return usb.serial;
      case StringKind::kIndexed:
        // sysfs keeps the strings the device descriptor names; other indexes are unknown.
        if (index != 0 && index == usb.i_product) return usb.product;
        if (index != 0 && index == usb.i_manufacturer) return usb.manufacturer;
        if (index != 0 && index == usb.i_serial) return usb.serial;
        return std::nullopt;
    }
  }
  switch (kind) {
    case StringKind::kProduct:
      // The kernel's name of the device, the text HIDIOCGRAWNAME gives too.
      return node.name.empty() ? std::nullopt : std::optional<std::string>(node.name);
    case StringKind::kSerialNumber:
      return node.uniq.empty() ? std::nullopt : std::optional<std::string>(node.uniq);
    default: return std::nullopt;
  }
}

BOOLEAN GetString(HANDLE handle, StringKind kind, ULONG index, PVOID buffer, ULONG length) {
  return OnDevice(handle, [&](HidrawFile& f) -> DWORD {
    auto text = DeviceString(f, kind, index);
    // A device without the string stalls the request; Windows reports a device fault.
    if (!text) return ERROR_GEN_FAILURE;
    std::u16string wide = FromUtf8(*text);
    if (wide.size() > hidshared::kMaxHidString) wide.resize(hidshared::kMaxHidString);
    return hidshared::CopyHidString(wide, buffer, length);
  });
}

// One report request: the caller's buffer starts with the report ID (0 without IDs),
// which is also what the hidraw report ioctls want.
DWORD Request(HidrawFile& f, HIDP_REPORT_TYPE type, bool set, std::uint8_t* buffer, ULONG length) {
  const USHORT size = hidshared::ReportLength(f.collection(), type);
  if (size == 0) return ERROR_INVALID_FUNCTION;  // the collection has no such report
  if (length < size) return ERROR_INVALID_PARAMETER;
  if (!buffer) return ERROR_NOACCESS;
  if (!hidshared::Declares(f.collection(), type, buffer[0])) return ERROR_INVALID_PARAMETER;
  std::vector<std::uint8_t> report(buffer, buffer + size);
  unsigned long request = 0;
  switch (type) {
    case HidP_Input: request = HIDIOCGINPUT(size); break;
    case HidP_Output: request = HIDIOCSOUTPUT(size); break;
    case HidP_Feature: request = set ? HIDIOCSFEATURE(size) : HIDIOCGFEATURE(size); break;
  }
  int got = 0;
  DWORD error = f.Ioctl(request, report.data(), &got);
  // Kernels before 5.11 lack HIDIOCSOUTPUT; a write sends the report the same way.
  if (error == ERROR_INVALID_FUNCTION && type == HidP_Output)
    error = f.WriteNow(report.data(), report.size());
  if (error != ERROR_SUCCESS || set) return error;
  // Windows fills the collection's whole report length; a shorter answer is padded.
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(got), size);
  std::memcpy(buffer, report.data(), n);
  std::memset(buffer + n, 0, size - n);
  return ERROR_SUCCESS;
}

BOOLEAN WINAPI HidD_GetAttributes(HANDLE HidDeviceObject, HIDD_ATTRIBUTES* Attributes) {
  return OnDevice(HidDeviceObject, [&](HidrawFile& f) -> DWORD {
    if (!Attributes) return ERROR_NOACCESS;
    // sysfs HID_ID holds the IDs HIDIOCGRAWINFO gives, and needs no open node.
    Attributes->Size = sizeof(HIDD_ATTRIBUTES);
    Attributes->VendorID = f.node().vendor;
    Attributes->ProductID = f.node().product;
    // hidraw does not report the version; sysfs has it for USB devices (bcdDevice).
    Attributes->VersionNumber = f.node().version;
    return ERROR_SUCCESS;
  });
}

BOOLEAN WINAPI HidD_GetPreparsedData(HANDLE HidDeviceObject, PHIDP_PREPARSED_DATA* PreparsedData) {
  return OnDevice(HidDeviceObject, [&](HidrawFile& f) -> DWORD {
    if (!PreparsedData) return ERROR_NOACCESS;
    *PreparsedData = hidshared::NewPreparsedToken(f.node().collections[f.collection_index()]);
    return ERROR_SUCCESS;
  });
}

// Input and output reports by request need the handle's read or write access, as the
// transfers do; feature reports need none.
BOOLEAN WINAPI HidD_GetInputReport(HANDLE HidDeviceObject, PVOID ReportBuffer,
                                   ULONG ReportBufferLength) {
  return OnDevice(HidDeviceObject, [&](HidrawFile& f) -> DWORD {
    if (!f.access().read) return ERROR_ACCESS_DENIED;
    return Request(f, HidP_Input, false, static_cast<std::uint8_t*>(ReportBuffer),
                   ReportBufferLength);
  });
}

BOOLEAN WINAPI HidD_GetFeature(HANDLE HidDeviceObject, PVOID ReportBuffer,
                               ULONG ReportBufferLength) {
  return OnDevice(HidDeviceObject, [&](HidrawFile& f) {
    return Request(f, HidP_Feature, false, static_cast<std::uint8_t*>(ReportBuffer),
                   ReportBufferLength);
  });
}

BOOLEAN WINAPI HidD_SetOutputReport(HANDLE HidDeviceObject, PVOID ReportBuffer,
                                    ULONG ReportBufferLength) {
  return OnDevice(HidDeviceObject, [&](HidrawFile& f) -> DWORD {
    if (!f.access().write) return ERROR_ACCESS_DENIED;
    return Request(f, HidP_Output, true, static_cast<std::uint8_t*>(ReportBuffer),
                   ReportBufferLength);
  });
}

BOOLEAN WINAPI HidD_SetFeature(HANDLE HidDeviceObject, PVOID ReportBuffer,
                               ULONG ReportBufferLength) {
  return OnDevice(HidDeviceObject, [&](HidrawFile& f) {
    return Request(f, HidP_Feature, true, static_cast<std::uint8_t*>(ReportBuffer),
                   ReportBufferLength);
  });
}

// The descriptor sysfs gave when the node was read (HIDIOCGRDESC holds the same bytes).
BOOLEAN WINAPI QzHidD_GetReportDescriptor(HANDLE HidDeviceObject, PVOID Buffer,
                                          ULONG BufferLength, ULONG* DescriptorLength) {
  return OnDevice(HidDeviceObject, [&](HidrawFile& f) {
    return hidshared::CopyReportDescriptor(f.node().descriptor, Buffer, BufferLength,
                                           DescriptorLength);
  });
}

BOOLEAN InputRingOf(HANDLE handle, const hidshared::InputRingUse& use) {
  return OnDevice(handle, [&](HidrawFile& f) { return f.UseInputRing(use); });
}

}  // namespace

std::shared_ptr<const Module> HidModule() {
  return hidshared::HidModuleOf<&HidD_GetAttributes, &HidD_GetPreparsedData,
                                &HidD_GetInputReport, &HidD_GetFeature, &HidD_SetOutputReport,
                                &HidD_SetFeature, &QzHidD_GetReportDescriptor, &InputRingOf,
                                &GetString>();
}

}  // namespace qzplatform::linux_ground
