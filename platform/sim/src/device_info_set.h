// The sim SetupAPI's device information sets, and the entry points its module files
// share when the modules are put together.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "device_tree.h"
#include "qzplatform/ground.h"

namespace qzplatform::sim {

// A set of device nodes, named by DEVINST; SP_DEVINFO_DATA::Reserved holds the
// member's position plus one.
class DeviceInfoSet : public KernelObject {
 public:
  std::optional<GUID> class_guid;  // the set's class, when it has one
  std::vector<DEVINST> members;
  // SetupDiSetClassInstallParamsW's parameters, per member (0: the set's own).
  std::map<DEVINST, std::vector<BYTE>> install_params;
};

BOOL Fail(DWORD error);

// The set behind a handle, or null with ERROR_INVALID_HANDLE set.
std::shared_ptr<DeviceInfoSet> LookupSet(HDEVINFO handle);

// The member an SP_DEVINFO_DATA names in `set`, or null with the last error set.
const DeviceNode* MemberOf(const DeviceInfoSet& set, const DeviceTree& tree,
                           const SP_DEVINFO_DATA* info);

// Fills `info` for the member at `index`; false with the last error set when `info` is
// not a valid record.
bool FillDeviceInfo(const DeviceNode& node, std::size_t index, SP_DEVINFO_DATA* info);

// Class installer, device creation and property writes (class_installer.cpp).
BOOL WINAPI SetupDiCreateDeviceInfoW(HDEVINFO DeviceInfoSet, PCWSTR DeviceName,
                                     const GUID* ClassGuid, PCWSTR DeviceDescription,
                                     HWND hwndParent, DWORD CreationFlags,
                                     PSP_DEVINFO_DATA DeviceInfoData);
BOOL WINAPI SetupDiGetINFClassW(PCWSTR InfName, GUID* ClassGuid, PWSTR ClassName,
                                DWORD ClassNameSize, PDWORD RequiredSize);
BOOL WINAPI SetupDiSetDeviceRegistryPropertyW(HDEVINFO DeviceInfoSet,
                                              PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                              const BYTE* PropertyBuffer, DWORD PropertyBufferSize);
BOOL WINAPI SetupDiCallClassInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                      PSP_DEVINFO_DATA DeviceInfoData);
BOOL WINAPI SetupDiSetClassInstallParamsW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                          PSP_CLASSINSTALL_HEADER ClassInstallParams,
                                          DWORD ClassInstallParamsSize);
BOOL WINAPI SetupDiRemoveDevice(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData);
BOOL WINAPI SetupDiUnremoveDevice(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData);

// The configuration manager's entries (cfgmgr32_dll.cpp), also exported by SetupAPI.dll.
std::vector<Module::Entry> ConfigManagerEntries();

}  // namespace qzplatform::sim
