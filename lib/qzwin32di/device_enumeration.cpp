// Device enumeration: one device information set per call, one record per device
// (device mode) or per device interface (interface-only mode).
#include "qzwin32di/device_enumeration.h"

#include <algorithm>
#include <optional>

#include "qzsysutils/qzsysutils.h"
#include "qzwin32di/device_queries.h"
#include "qzwin32di/setupapi_binding.h"
#include "qzwin32di/wide_buffer.h"

namespace qz {
namespace {

constexpr DWORD kInstanceIdLength = 256;

SP_DEVINFO_DATA NewDeviceInfo() {
  SP_DEVINFO_DATA info{};
  info.cbSize = sizeof info;
  return info;
}

SP_DEVICE_INTERFACE_DATA NewInterfaceData() {
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  return data;
}

// The fields both modes fill from the device's registry properties.
void ReadProperties(HDEVINFO set, SP_DEVINFO_DATA& info, TqzDevice& device) {
  device.Driver = DiGetDeviceProperty(set, info, SPDRP_DRIVER);
  device.Service = DiGetDeviceProperty(set, info, SPDRP_SERVICE);
  device.NamePDO = DiGetDeviceProperty(set, info, SPDRP_PHYSICAL_DEVICE_OBJECT_NAME);
  device.Description = DiGetDeviceProperty(set, info, SPDRP_DEVICEDESC);
  device.Manufacturer = DiGetDeviceProperty(set, info, SPDRP_MFG);
  device.GuidClass = info.ClassGuid;
}

// RegKey, and the SymbolicName and PortName values of the device's hardware key.
void ReadHardwareKey(HDEVINFO set, SP_DEVINFO_DATA& info, TqzDevice& device) {
  HKEY key =
      SetupApi().SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
  if (!key || key == reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE)) return;
  HKEY root = nullptr;  // the path comes back relative to HKEY_LOCAL_MACHINE
  device.RegKey = GetRegKeyPath(key, &root);
  RegCloseKey(key);
  // Without a path the reads would look at HKEY_LOCAL_MACHINE itself.
  if (device.RegKey.empty()) return;
  device.NameSymbolic = RegReadString(HKEY_LOCAL_MACHINE, device.RegKey, u"SymbolicName");
  device.PortName = RegReadString(HKEY_LOCAL_MACHINE, device.RegKey, u"PortName");
}

// InstanceId, DevInst and BusRelations; all left unset when the ID cannot be read.
void ReadInstance(HDEVINFO set, SP_DEVINFO_DATA& info, TqzDevice& device) {
  WCHAR id[kInstanceIdLength] = {};
  DWORD length = 0;
  if (!SetupApi().SetupDiGetDeviceInstanceIdW(set, &info, id, kInstanceIdLength, &length) ||
      length == 0)
    return;
  device.InstanceId = wide::TextOf(id, std::min(length - 1, kInstanceIdLength));
  device.DevInst = info.DevInst;
  device.BusRelations = DiGetDeviceIdList(device.InstanceId, u";", true);
}

// The path of the device's first interface of `interfaceClass`, if it has one.
std::optional<Text> FirstInterfacePath(HDEVINFO set, SP_DEVINFO_DATA& info,
                                       const GUID* interfaceClass) {
  const SetupApiEntries& api = SetupApi();
  SP_DEVICE_INTERFACE_DATA data = NewInterfaceData();
  if (!api.SetupDiEnumDeviceInterfaces(set, &info, interfaceClass, 0, &data)) return {};
  DWORD required = 0;
  api.SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &required, nullptr);
  if (required == 0) return {};
  wide::InterfaceDetail detail(required);
  SP_DEVINFO_DATA owner = NewDeviceInfo();
  if (!api.SetupDiGetDeviceInterfaceDetailW(set, &data, detail.get(), detail.size(), nullptr,
                                            &owner))
    return {};
  return detail.Path();
}

void Append(TqzDeviceRecords& list, std::unique_ptr<TqzDevice> device) {
  Text driver = device->Driver;
  list.emplace_back(std::move(driver), std::move(device));
}

void EnumDevices(HDEVINFO set, const GUID* classGuid, bool withInterfaces, TqzDeviceRecords& list) {
  for (DWORD index = 0;; ++index) {
    SP_DEVINFO_DATA info = NewDeviceInfo();
    if (!SetupApi().SetupDiEnumDeviceInfo(set, index, &info)) return;
    auto device = std::make_unique<TqzDevice>();
    ReadProperties(set, info, *device);
    ReadHardwareKey(set, info, *device);
    ReadInstance(set, info, *device);
    if (withInterfaces)
      if (auto path = FirstInterfacePath(set, info, classGuid)) device->NameSymbolic = *path;
    Append(list, std::move(device));
  }
}

void EnumInterfaces(HDEVINFO set, const GUID* classGuid, TqzDeviceRecords& list) {
  const SetupApiEntries& api = SetupApi();
  for (DWORD index = 0;; ++index) {
    SP_DEVICE_INTERFACE_DATA data = NewInterfaceData();
    if (!api.SetupDiEnumDeviceInterfaces(set, nullptr, classGuid, index, &data)) return;
    SP_DEVINFO_DATA info = NewDeviceInfo();
    DWORD required = 0;
    const BOOL sized =
        api.SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &required, &info);
    if (sized || required == 0 || GetLastError() != ERROR_INSUFFICIENT_BUFFER) continue;
    wide::InterfaceDetail detail(required);
    if (!api.SetupDiGetDeviceInterfaceDetailW(set, &data, detail.get(), detail.size(), &required,
                                              &info))
      continue;
    auto device = std::make_unique<TqzDevice>();
    ReadProperties(set, info, *device);
    device->NameSymbolic = detail.Path();
    Append(list, std::move(device));
  }
}

}  // namespace

void DiEnumInstalledDevices(const GUID* classGuid, bool presentOnly, bool deviceMode,
                            bool withInterfaces, TqzDeviceRecords& list) {
  if (!LoadSetupApi()) return;
  DWORD flags = 0;
  if (presentOnly) flags |= DIGCF_PRESENT;
  if (withInterfaces) flags |= DIGCF_DEVICEINTERFACE;
  if (!classGuid) flags |= DIGCF_ALLCLASSES;
  InfoSet set(SetupApi().SetupDiGetClassDevsW(classGuid, nullptr, nullptr, flags));
  if (!set.valid()) return;
  if (deviceMode)
    EnumDevices(set.get(), classGuid, withInterfaces, list);
  else
    EnumInterfaces(set.get(), classGuid, list);
}

}  // namespace qz
