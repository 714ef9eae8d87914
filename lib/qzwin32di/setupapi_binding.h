// SetupAPI.dll and the configuration manager bound at run time: one entry-point table
// per process, made by the first LoadSetupApi that succeeds and kept until process end.
#pragma once

#include "qzplatform/setupapi.h"

namespace qz {

// The bound entry points, "W" variants where the library has two. All null until the
// binding succeeds; after that every entry is set except the four optional ones
// (SetupDiRemoveDevice, SetupDiUnremoveDevice, SetupDiOpenDeviceInfoW and
// CM_Request_Device_EjectW may be null: callers must test them before calling).
struct SetupApiEntries {
  PFN_SetupDiGetClassDevsW SetupDiGetClassDevsW = nullptr;
  PFN_SetupDiDestroyDeviceInfoList SetupDiDestroyDeviceInfoList = nullptr;
  PFN_SetupDiEnumDeviceInfo SetupDiEnumDeviceInfo = nullptr;
  PFN_SetupDiGetDeviceRegistryPropertyW SetupDiGetDeviceRegistryPropertyW = nullptr;
  PFN_SetupDiOpenDevRegKey SetupDiOpenDevRegKey = nullptr;
  PFN_SetupDiEnumDeviceInterfaces SetupDiEnumDeviceInterfaces = nullptr;
  PFN_SetupDiGetDeviceInterfaceDetailW SetupDiGetDeviceInterfaceDetailW = nullptr;
  PFN_SetupDiCreateDeviceInfoList SetupDiCreateDeviceInfoList = nullptr;
  PFN_SetupDiCreateDeviceInfoW SetupDiCreateDeviceInfoW = nullptr;
  PFN_SetupDiGetINFClassW SetupDiGetINFClassW = nullptr;
  PFN_SetupDiSetDeviceRegistryPropertyW SetupDiSetDeviceRegistryPropertyW = nullptr;
  PFN_SetupDiCallClassInstaller SetupDiCallClassInstaller = nullptr;
  PFN_SetupDiGetDeviceInstanceIdW SetupDiGetDeviceInstanceIdW = nullptr;
  PFN_SetupDiRemoveDevice SetupDiRemoveDevice = nullptr;        // optional
  PFN_SetupDiUnremoveDevice SetupDiUnremoveDevice = nullptr;    // optional
  PFN_SetupDiOpenDeviceInfoW SetupDiOpenDeviceInfoW = nullptr;  // optional
  PFN_SetupDiSetClassInstallParamsW SetupDiSetClassInstallParamsW = nullptr;
  PFN_CM_Locate_DevNodeW CM_Locate_DevNodeW = nullptr;
  PFN_CM_Get_DevNode_Registry_PropertyW CM_Get_DevNode_Registry_PropertyW = nullptr;
  PFN_CM_Get_Parent CM_Get_Parent = nullptr;
  PFN_CM_Get_Device_ID_List_SizeW CM_Get_Device_ID_List_SizeW = nullptr;
  PFN_CM_Get_Device_ID_ListW CM_Get_Device_ID_ListW = nullptr;
  PFN_CM_Get_Child CM_Get_Child = nullptr;
  PFN_CM_Get_Sibling CM_Get_Sibling = nullptr;
  PFN_CM_Request_Device_EjectW CM_Request_Device_EjectW = nullptr;  // optional
};

// True when the binding is made, making it now if needed: SetupAPI.dll is loaded and
// every required entry found, the configuration manager's entries in SetupAPI.dll or,
// when it lacks them, in cfgmgr32.dll. A failed attempt leaves nothing loaded and is
// tried again at the next call. Main thread only.
bool LoadSetupApi();

// The entry-point table (all null while not bound).
const SetupApiEntries& SetupApi();

// Frees both modules and clears the table; done at process end. The next LoadSetupApi
// binds again (tests use this to bind on another machine).
void FreeSetupApi();

// A device information set, destroyed through the binding on every path.
class InfoSet {
 public:
  explicit InfoSet(HDEVINFO set) : set_(set) {}
  InfoSet(const InfoSet&) = delete;
  InfoSet& operator=(const InfoSet&) = delete;
  ~InfoSet() {
    if (valid()) SetupApi().SetupDiDestroyDeviceInfoList(set_);
  }
  bool valid() const { return set_ != INVALID_HANDLE_VALUE && set_ != nullptr; }
  HDEVINFO get() const { return set_; }

 private:
  HDEVINFO set_;
};

}  // namespace qz
