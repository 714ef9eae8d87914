// "SetupAPI.dll" over a ground's device tree: device information sets (handles that
// hold a snapshot of the tree), their devices and interfaces, properties, hardware
// keys, instance IDs and the class installer's state changes.
#include <algorithm>
#include <cstddef>
#include <map>
#include <type_traits>

#include "device_tree_common.h"

namespace qzplatform::hidshared {
namespace {

struct SetInterface {
  std::size_t node;
  DeviceInterface itf;
};

class DeviceInfoSet : public KernelObject {
 public:
  std::shared_ptr<DeviceTree> tree;
  std::vector<DevNode> nodes;
  std::vector<SetInterface> interfaces;
  std::map<std::size_t, SP_PROPCHANGE_PARAMS> params;  // class-install parameters per node
};

template <typename T>
T Failed(DWORD error, T value) {
  SetLastError(error);
  return value;
}

std::shared_ptr<DeviceInfoSet> SetOf(HDEVINFO set) {
  auto s = LookupHandleAs<DeviceInfoSet>(set);
  if (!s) SetLastError(ERROR_INVALID_HANDLE);
  return s;
}

// The node a caller's SP_DEVINFO_DATA names (its Reserved member holds our index + 1).
const DevNode* NodeOf(const DeviceInfoSet& set, const SP_DEVINFO_DATA* data, std::size_t* index) {
  if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return nullptr;
  }
  if (data->Reserved == 0 || data->Reserved > set.nodes.size()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  *index = data->Reserved - 1;
  return &set.nodes[*index];
}

bool Fill(SP_DEVINFO_DATA* data, const DevNode& node, std::size_t index) {
  if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return false;
  }
  data->ClassGuid = node.class_guid;
  data->DevInst = DevInstOf(node.instance_id);
  data->Reserved = index + 1;
  return true;
}

HDEVINFO WINAPI SetupDiGetClassDevsW(const GUID* ClassGuid, PCWSTR Enumerator, HWND, DWORD Flags) {
  const bool all = (Flags & DIGCF_ALLCLASSES) != 0;
  if (!ClassGuid && !all) return Failed(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  auto set = std::make_shared<DeviceInfoSet>();
  set->tree = ActiveTree();
  const std::u16string enumerator = Enumerator ? LowerId(U(Enumerator)) + u"\\" : u"";
  if (set->tree)
    for (DevNode& node : set->tree->Snapshot()) {
      if ((Flags & DIGCF_PRESENT) && !node.present) continue;
      if (!enumerator.empty() && LowerId(node.instance_id).rfind(enumerator, 0) != 0) continue;
      std::vector<DeviceInterface> matching;
      if (Flags & DIGCF_DEVICEINTERFACE) {
        for (const DeviceInterface& itf : node.interfaces)
          if (all || SameGuidValue(itf.interface_class, *ClassGuid)) matching.push_back(itf);
        if (matching.empty()) continue;
      } else if (!all && !SameGuidValue(node.class_guid, *ClassGuid)) {
        continue;
      }
      const std::size_t index = set->nodes.size();
      for (DeviceInterface& itf : matching) set->interfaces.push_back({index, std::move(itf)});
      set->nodes.push_back(std::move(node));
    }
  return InsertHandle(std::move(set));
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
  if (!SetOf(DeviceInfoSet)) return FALSE;
  return CloseHandle(DeviceInfoSet);
}

HDEVINFO WINAPI SetupDiCreateDeviceInfoList(const GUID*, HWND) {
  auto set = std::make_shared<DeviceInfoSet>();
  set->tree = ActiveTree();
  return InsertHandle(std::move(set));
}

BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex,
                                  PSP_DEVINFO_DATA DeviceInfoData) {
  auto set = SetOf(DeviceInfoSet);
  if (!set) return FALSE;
  if (MemberIndex >= set->nodes.size()) return Failed(ERROR_NO_MORE_ITEMS, FALSE);
  return Fill(DeviceInfoData, set->nodes[MemberIndex], MemberIndex);
}

BOOL WINAPI SetupDiGetDeviceRegistryPropertyW(HDEVINFO DeviceInfoSet,
                                              PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                              PDWORD PropertyRegDataType, PBYTE PropertyBuffer,
                                              DWORD PropertyBufferSize, PDWORD RequiredSize) {
  auto set = SetOf(DeviceInfoSet);
  if (!set) return FALSE;
  std::size_t index = 0;
  const DevNode* node = NodeOf(*set, DeviceInfoData, &index);
  if (!node) return FALSE;
  if (Property >= SPDRP_MAXIMUM_PROPERTY) return Failed(ERROR_INVALID_REG_PROPERTY, FALSE);
  const std::u16string* text = node->Property(Property);
  // A property the device does not have is reported as invalid data, as Windows does.
  if (!text) return Failed(ERROR_INVALID_DATA, FALSE);
  const std::vector<BYTE> bytes = RegSz(*text);
  if (PropertyRegDataType) *PropertyRegDataType = REG_SZ;
  if (RequiredSize) *RequiredSize = static_cast<DWORD>(bytes.size());
  if (!PropertyBuffer || PropertyBufferSize < bytes.size())
    return Failed(ERROR_INSUFFICIENT_BUFFER, FALSE);
  std::memcpy(PropertyBuffer, bytes.data(), bytes.size());
  return TRUE;
}

HKEY WINAPI SetupDiOpenDevRegKey(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD,
                                 DWORD, DWORD KeyType, REGSAM samDesired) {
  const HKEY invalid = reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
  auto set = SetOf(DeviceInfoSet);
  if (!set) return invalid;
  std::size_t index = 0;
  const DevNode* node = NodeOf(*set, DeviceInfoData, &index);
  if (!node) return invalid;
  // Only hardware keys exist: the driver's software key belongs to the Windows driver.
  if (KeyType != DIREG_DEV || node->hardware_key.empty())
    return Failed(ERROR_FILE_NOT_FOUND, invalid);
  HKEY key = nullptr;
  const LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(node->hardware_key), 0, samDesired, &key);
  if (status != ERROR_SUCCESS) return Failed(static_cast<DWORD>(status), invalid);
  return key;
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                        PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) {
  auto set = SetOf(DeviceInfoSet);
  if (!set) return FALSE;
  if (!InterfaceClassGuid) return Failed(ERROR_INVALID_PARAMETER, FALSE);
  if (!DeviceInterfaceData || DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
    return Failed(ERROR_INVALID_USER_BUFFER, FALSE);
  std::size_t only = 0;
  if (DeviceInfoData && !NodeOf(*set, DeviceInfoData, &only)) return FALSE;
  DWORD seen = 0;
  for (std::size_t i = 0; i < set->interfaces.size(); ++i) {
    const SetInterface& s = set->interfaces[i];
    if (DeviceInfoData && s.node != only) continue;
    if (!SameGuidValue(s.itf.interface_class, *InterfaceClassGuid)) continue;
    if (seen++ != MemberIndex) continue;
    DeviceInterfaceData->InterfaceClassGuid = s.itf.interface_class;
    DeviceInterfaceData->Flags = SPINT_ACTIVE;
    DeviceInterfaceData->Reserved = i + 1;
    return TRUE;
  }
  return Failed(ERROR_NO_MORE_ITEMS, FALSE);
}

BOOL WINAPI SetupDiGetDeviceInterfaceDetailW(HDEVINFO DeviceInfoSet,
                                             PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_W Detail,
                                             DWORD DetailSize, PDWORD RequiredSize,
                                             PSP_DEVINFO_DATA DeviceInfoData) {
  auto set = SetOf(DeviceInfoSet);
  if (!set) return FALSE;
  if (!DeviceInterfaceData || DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) ||
      DeviceInterfaceData->Reserved == 0 || DeviceInterfaceData->Reserved > set->interfaces.size())
    return Failed(ERROR_INVALID_PARAMETER, FALSE);
  const SetInterface& s = set->interfaces[DeviceInterfaceData->Reserved - 1];
  const DWORD needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) +
                                          (s.itf.path.size() + 1) * sizeof(WCHAR));
  if (RequiredSize) *RequiredSize = needed;
  if (!Detail) {
    if (DetailSize != 0) return Failed(ERROR_INVALID_USER_BUFFER, FALSE);
    // The device is reported with the size, as the first of the two calls relies on.
    if (DeviceInfoData) Fill(DeviceInfoData, set->nodes[s.node], s.node);
    return Failed(ERROR_INSUFFICIENT_BUFFER, FALSE);
  }
  if (Detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
    return Failed(ERROR_INVALID_USER_BUFFER, FALSE);
  if (DetailSize < needed) return Failed(ERROR_INSUFFICIENT_BUFFER, FALSE);
  if (DeviceInfoData && !Fill(DeviceInfoData, set->nodes[s.node], s.node)) return FALSE;
  WCHAR* path = Detail->DevicePath;
  std::copy(s.itf.path.begin(), s.itf.path.end(), path);
  path[s.itf.path.size()] = 0;
  return TRUE;
}

BOOL WINAPI SetupDiGetDeviceInstanceIdW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        PWSTR DeviceInstanceId, DWORD DeviceInstanceIdSize,
                                        PDWORD RequiredSize) {
  auto set = SetOf(DeviceInfoSet);
  if (!set) return FALSE;
  std::size_t index = 0;
  const DevNode* node = NodeOf(*set, DeviceInfoData, &index);
  if (!node) return FALSE;
  const DWORD needed = static_cast<DWORD>(node->instance_id.size() + 1);
  if (RequiredSize) *RequiredSize = needed;
  if (!DeviceInstanceId || DeviceInstanceIdSize < needed)
    return Failed(ERROR_INSUFFICIENT_BUFFER, FALSE);
  std::copy(node->instance_id.begin(), node->instance_id.end(), DeviceInstanceId);
  DeviceInstanceId[node->instance_id.size()] = 0;
  return TRUE;
}

BOOL WINAPI SetupDiOpenDeviceInfoW(HDEVINFO DeviceInfoSet, PCWSTR DeviceInstanceId, HWND, DWORD,
                                   PSP_DEVINFO_DATA DeviceInfoData) {
  auto set = SetOf(DeviceInfoSet);
  if (!set) return FALSE;
  if (!DeviceInstanceId) return Failed(ERROR_INVALID_PARAMETER, FALSE);
  const std::u16string id = U(DeviceInstanceId);
  for (std::size_t i = 0; i < set->nodes.size(); ++i)
    if (SameId(set->nodes[i].instance_id, id))
      return !DeviceInfoData || Fill(DeviceInfoData, set->nodes[i], i);
  if (set->tree)
    for (DevNode& node : set->tree->Snapshot())
      if (SameId(node.instance_id, id)) {
        const std::size_t index = set->nodes.size();
        set->nodes.push_back(std::move(node));
        return !DeviceInfoData || Fill(DeviceInfoData, set->nodes[index], index);
      }
  return Failed(ERROR_NO_SUCH_DEVINST, FALSE);
}

BOOL WINAPI SetupDiSetClassInstallParamsW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                          PSP_CLASSINSTALL_HEADER ClassInstallParams,
                                          DWORD ClassInstallParamsSize) {
  auto set = SetOf(DeviceInfoSet);
  if (!set) return FALSE;
  std::size_t index = 0;
  if (!NodeOf(*set, DeviceInfoData, &index)) return FALSE;
  if (!ClassInstallParams) {
    set->params.erase(index);
    return TRUE;
  }
  if (ClassInstallParams->cbSize != sizeof(SP_CLASSINSTALL_HEADER))
    return Failed(ERROR_INVALID_USER_BUFFER, FALSE);
  if (ClassInstallParams->InstallFunction != DIF_PROPERTYCHANGE ||
      ClassInstallParamsSize != sizeof(SP_PROPCHANGE_PARAMS))
    return Failed(ERROR_INVALID_PARAMETER, FALSE);
  SP_PROPCHANGE_PARAMS params;
  std::memcpy(&params, ClassInstallParams, sizeof params);
  if (params.StateChange < DICS_ENABLE || params.StateChange > DICS_STOP)
    return Failed(ERROR_INVALID_PARAMETER, FALSE);
  set->params[index] = params;
  return TRUE;
}

BOOL WINAPI SetupDiCallClassInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                      PSP_DEVINFO_DATA DeviceInfoData) {
  auto set = SetOf(DeviceInfoSet);
  if (!set) return FALSE;
  std::size_t index = 0;
  const DevNode* node = NodeOf(*set, DeviceInfoData, &index);
  if (!node) return FALSE;
  if (InstallFunction != DIF_PROPERTYCHANGE) return Failed(ERROR_DI_DO_DEFAULT, FALSE);
  auto it = set->params.find(index);
  if (it == set->params.end()) return Failed(ERROR_INVALID_PARAMETER, FALSE);
  if (!set->tree) return Failed(ERROR_NO_SUCH_DEVINST, FALSE);
  const DWORD error = set->tree->ChangeState(*node, it->second.StateChange, it->second.Scope);
  return error == ERROR_SUCCESS ? TRUE : Failed(error, FALSE);
}

template <DWORD (DeviceTree::*Change)(const DevNode&)>
BOOL WINAPI RemoveCall(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData) {
  auto set = SetOf(DeviceInfoSet);
  if (!set) return FALSE;
  std::size_t index = 0;
  const DevNode* node = NodeOf(*set, DeviceInfoData, &index);
  if (!node) return FALSE;
  if (!set->tree) return Failed(ERROR_NO_SUCH_DEVINST, FALSE);
  const DWORD error = ((*set->tree).*Change)(*node);
  return error == ERROR_SUCCESS ? TRUE : Failed(error, FALSE);
}

// Nothing in the system creates device nodes, writes properties or reads INF files;
// these entries exist for the binding and refuse.
BOOL WINAPI SetupDiCreateDeviceInfoW(HDEVINFO, PCWSTR, const GUID*, PCWSTR, HWND, DWORD,
                                     PSP_DEVINFO_DATA) {
  return Failed(ERROR_ACCESS_DENIED, FALSE);
}
BOOL WINAPI SetupDiGetINFClassW(PCWSTR, GUID*, PWSTR, DWORD, PDWORD) {
  return Failed(ERROR_FILE_NOT_FOUND, FALSE);
}
BOOL WINAPI SetupDiSetDeviceRegistryPropertyW(HDEVINFO, PSP_DEVINFO_DATA, DWORD, const BYTE*,
                                              DWORD) {
  return Failed(ERROR_ACCESS_DENIED, FALSE);
}

static_assert(std::is_same_v<decltype(&SetupDiGetClassDevsW), PFN_SetupDiGetClassDevsW>);
static_assert(std::is_same_v<decltype(&SetupDiEnumDeviceInfo), PFN_SetupDiEnumDeviceInfo>);
static_assert(std::is_same_v<decltype(&SetupDiGetDeviceRegistryPropertyW),
                             PFN_SetupDiGetDeviceRegistryPropertyW>);
static_assert(std::is_same_v<decltype(&SetupDiOpenDevRegKey), PFN_SetupDiOpenDevRegKey>);
static_assert(
    std::is_same_v<decltype(&SetupDiEnumDeviceInterfaces), PFN_SetupDiEnumDeviceInterfaces>);
static_assert(std::is_same_v<decltype(&SetupDiGetDeviceInterfaceDetailW),
                             PFN_SetupDiGetDeviceInterfaceDetailW>);
static_assert(
    std::is_same_v<decltype(&SetupDiGetDeviceInstanceIdW), PFN_SetupDiGetDeviceInstanceIdW>);
static_assert(std::is_same_v<decltype(&SetupDiOpenDeviceInfoW), PFN_SetupDiOpenDeviceInfoW>);
static_assert(std::is_same_v<decltype(&SetupDiSetClassInstallParamsW),
                             PFN_SetupDiSetClassInstallParamsW>);
static_assert(std::is_same_v<decltype(&SetupDiCallClassInstaller), PFN_SetupDiCallClassInstaller>);
static_assert(std::is_same_v<decltype(&RemoveCall<&DeviceTree::Remove>), PFN_SetupDiRemoveDevice>);
static_assert(std::is_same_v<decltype(&SetupDiCreateDeviceInfoW), PFN_SetupDiCreateDeviceInfoW>);
static_assert(std::is_same_v<decltype(&SetupDiGetINFClassW), PFN_SetupDiGetINFClassW>);
static_assert(std::is_same_v<decltype(&SetupDiSetDeviceRegistryPropertyW),
                             PFN_SetupDiSetDeviceRegistryPropertyW>);
static_assert(
    std::is_same_v<decltype(&SetupDiCreateDeviceInfoList), PFN_SetupDiCreateDeviceInfoList>);
static_assert(
    std::is_same_v<decltype(&SetupDiDestroyDeviceInfoList), PFN_SetupDiDestroyDeviceInfoList>);

}  // namespace

std::shared_ptr<const Module> SetupApiModule() {
  static const auto module = std::make_shared<const Module>(
      u"SetupAPI.dll",
      std::vector<Module::Entry>{
          {"SetupDiGetClassDevsW", Proc(&SetupDiGetClassDevsW)},
          {"SetupDiDestroyDeviceInfoList", Proc(&SetupDiDestroyDeviceInfoList)},
          {"SetupDiEnumDeviceInfo", Proc(&SetupDiEnumDeviceInfo)},
          {"SetupDiGetDeviceRegistryPropertyW", Proc(&SetupDiGetDeviceRegistryPropertyW)},
          {"SetupDiOpenDevRegKey", Proc(&SetupDiOpenDevRegKey)},
          {"SetupDiEnumDeviceInterfaces", Proc(&SetupDiEnumDeviceInterfaces)},
          {"SetupDiGetDeviceInterfaceDetailW", Proc(&SetupDiGetDeviceInterfaceDetailW)},
          {"SetupDiCreateDeviceInfoList", Proc(&SetupDiCreateDeviceInfoList)},
          {"SetupDiCreateDeviceInfoW", Proc(&SetupDiCreateDeviceInfoW)},
          {"SetupDiGetINFClassW", Proc(&SetupDiGetINFClassW)},
          {"SetupDiSetDeviceRegistryPropertyW", Proc(&SetupDiSetDeviceRegistryPropertyW)},
          {"SetupDiCallClassInstaller", Proc(&SetupDiCallClassInstaller)},
          {"SetupDiGetDeviceInstanceIdW", Proc(&SetupDiGetDeviceInstanceIdW)},
          {"SetupDiRemoveDevice", Proc(&RemoveCall<&DeviceTree::Remove>)},
          {"SetupDiUnremoveDevice", Proc(&RemoveCall<&DeviceTree::Unremove>)},
          {"SetupDiOpenDeviceInfoW", Proc(&SetupDiOpenDeviceInfoW)},
          {"SetupDiSetClassInstallParamsW", Proc(&SetupDiSetClassInstallParamsW)},
      });
  return module;
}

}  // namespace qzplatform::hidshared
