// "SetupAPI.dll" over a ground's device tree: device information sets (handles that
// hold a snapshot of the tree), their devices and interfaces, properties, hardware
// and driver keys, instance IDs and the class installer's state changes.
#include <algorithm>
#include <deque>
#include <map>
#include <type_traits>

#include "device_tree_common.h"
#include "qzplatform/trace.h"

namespace qzplatform::hidshared {
namespace {

constexpr DWORD kClassMismatch = 0xE0000203u;         // ERROR_CLASS_MISMATCH
constexpr DWORD kNoClassInstallParams = 0xE0000215u;  // ERROR_NO_CLASSINSTALL_PARAMS

struct SetInterface {
  std::size_t node;
  const DeviceInterface* itf;
};

class DeviceInfoSet : public KernelObject {
 public:
  std::shared_ptr<DeviceTree> tree;
  std::optional<GUID> class_guid;  // the set's class, when it has one
  // The members: nodes of the snapshot the set was made from, which it keeps, or of
  // `opened`, those added by ID since.
  std::shared_ptr<const NodeTable> snapshot;
  std::deque<DevNode> opened;
  std::vector<const DevNode*> nodes;
  std::vector<SetInterface> interfaces;
  std::vector<std::vector<std::size_t>> node_interfaces;  // per node: its interfaces' indexes
  // Class-install parameters per member (its index + 1; 0: the set's own).
  std::map<std::size_t, std::vector<BYTE>> params;
};

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
  if (data->Reserved == 0 || data->Reserved > set.nodes.size() ||
      DevInstOf(set.nodes[data->Reserved - 1]->instance_id) != data->DevInst) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  *index = data->Reserved - 1;
  return set.nodes[*index];
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
  const bool interfaces = (Flags & DIGCF_DEVICEINTERFACE) != 0;
  const bool present = (Flags & DIGCF_PRESENT) != 0;
  if (!ClassGuid && !all) return Failed(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  auto set = std::make_shared<DeviceInfoSet>();
  set->tree = ActiveTree();
  if (!all && !interfaces) set->class_guid = *ClassGuid;
  const std::u16string_view enumerator = Enumerator ? AsChar16(Enumerator) : u"";
  if (set->tree) set->snapshot = set->tree->Current();
  if (set->snapshot)
    for (const DevNode& node : set->snapshot->nodes()) {
      if (node.root ||
          (!enumerator.empty() && !EqualAsciiNoCase(EnumeratorOf(node.instance_id), enumerator)))
        continue;
      std::vector<const DeviceInterface*> matching;
      if (interfaces) {
        // A present-only set lists the interfaces of started devices alone.
        for (const DeviceInterface& itf : node.interfaces)
          if ((all || itf.interface_class == *ClassGuid) && (!present || itf.active))
            matching.push_back(&itf);
        if (matching.empty()) continue;
      } else if ((present && !node.present) ||
                 (!all && node.class_guid != *ClassGuid)) {
        continue;
      }
      const std::size_t index = set->nodes.size();
      set->node_interfaces.emplace_back();
      for (const DeviceInterface* itf : matching) {
        set->node_interfaces.back().push_back(set->interfaces.size());
        set->interfaces.push_back({index, itf});
      }
      set->nodes.push_back(&node);
    }
  return InsertHandle(std::move(set));
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
  if (!SetOf(DeviceInfoSet)) return FALSE;
  return CloseHandle(DeviceInfoSet);
}

HDEVINFO WINAPI SetupDiCreateDeviceInfoList(const GUID* ClassGuid, HWND) {
  auto set = std::make_shared<DeviceInfoSet>();
  set->tree = ActiveTree();
  if (ClassGuid) set->class_guid = *ClassGuid;
  return InsertHandle(std::move(set));
}

BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex,
                                  PSP_DEVINFO_DATA DeviceInfoData) {
  auto set = SetOf(DeviceInfoSet);
  if (!set) return FALSE;
  if (!DeviceInfoData) return Failed(ERROR_INVALID_PARAMETER);
  if (MemberIndex >= set->nodes.size()) return Failed(ERROR_NO_MORE_ITEMS);
  return Fill(DeviceInfoData, *set->nodes[MemberIndex], MemberIndex);
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
  if (Property >= SPDRP_MAXIMUM_PROPERTY) return Failed(ERROR_INVALID_REG_PROPERTY);
  if (!PropertyBuffer && PropertyBufferSize) return Failed(ERROR_INVALID_USER_BUFFER);
  const auto value = node->Value(Property);
  // A property the device does not have is reported as invalid data, as Windows does.
  if (!value) return Failed(ERROR_INVALID_DATA);
  if (PropertyRegDataType) *PropertyRegDataType = value->type;
  if (RequiredSize) *RequiredSize = static_cast<DWORD>(value->data.size());
  if (PropertyBufferSize < value->data.size()) return Failed(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(PropertyBuffer, value->data.data(), value->data.size());
  return TRUE;
}

HKEY WINAPI SetupDiOpenDevRegKey(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                 DWORD Scope, DWORD, DWORD KeyType, REGSAM samDesired) {
  const HKEY invalid = reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
  auto set = SetOf(DeviceInfoSet);
  if (!set) return invalid;
  std::size_t index = 0;
  const DevNode* node = NodeOf(*set, DeviceInfoData, &index);
  if (!node) return invalid;
  if ((Scope != DICS_FLAG_GLOBAL && Scope != DICS_FLAG_CONFIGSPECIFIC) ||
      (KeyType != DIREG_DEV && KeyType != DIREG_DRV))
    return Failed(ERROR_INVALID_PARAMETER, invalid);
  // The hardware key, or the driver's software key while a driver is installed.
  const std::u16string path = KeyType == DIREG_DEV ? node->hardware_key : DriverKey(*node);
  if (path.empty()) return Failed(ERROR_FILE_NOT_FOUND, invalid);
  HKEY key = nullptr;
  const LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, AsWide(path), 0, samDesired, &key);
  if (status != ERROR_SUCCESS) return Failed(static_cast<DWORD>(status), invalid);
  return key;
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                        PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) {
  auto set = SetOf(DeviceInfoSet);
  if (!set) return FALSE;
  if (!InterfaceClassGuid) return Failed(ERROR_INVALID_PARAMETER);
  if (!DeviceInterfaceData || DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
    return Failed(ERROR_INVALID_USER_BUFFER);
  std::size_t only = 0;
  if (DeviceInfoData && !NodeOf(*set, DeviceInfoData, &only)) return FALSE;
  // A device's own interfaces, or all of the set's.
  const std::vector<std::size_t>* own = DeviceInfoData ? &set->node_interfaces[only] : nullptr;
  const std::size_t count = own ? own->size() : set->interfaces.size();
  DWORD seen = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t i = own ? (*own)[k] : k;
    const SetInterface& s = set->interfaces[i];
    if (s.itf->interface_class != *InterfaceClassGuid) continue;
    if (seen++ != MemberIndex) continue;
    DeviceInterfaceData->InterfaceClassGuid = s.itf->interface_class;
    DeviceInterfaceData->Flags = s.itf->active ? SPINT_ACTIVE : 0;
    DeviceInterfaceData->Reserved = i + 1;
    return TRUE;
  }
  return Failed(ERROR_NO_MORE_ITEMS);
}

BOOL WINAPI SetupDiGetDeviceInterfaceDetailW(HDEVINFO DeviceInfoSet,
                                             PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_W Detail,
                                             DWORD DetailSize, PDWORD RequiredSize,
                                             PSP_DEVINFO_DATA DeviceInfoData) {
  constexpr std::size_t kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
  auto set = SetOf(DeviceInfoSet);
  if (!set) return FALSE;
  if (!DeviceInterfaceData || DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
    return Failed(ERROR_INVALID_USER_BUFFER);
  if (DeviceInterfaceData->Reserved == 0 || DeviceInterfaceData->Reserved > set->interfaces.size())
    return Failed(ERROR_INVALID_PARAMETER);
  const SetInterface& s = set->interfaces[DeviceInterfaceData->Reserved - 1];
  const DWORD needed = static_cast<DWORD>(kPathOffset + (s.itf->path.size() + 1) * sizeof(WCHAR));
  if (RequiredSize) *RequiredSize = needed;
  // The device is reported with the size too, as the first of the two calls relies on.
  if (DeviceInfoData && !Fill(DeviceInfoData, *set->nodes[s.node], s.node)) return FALSE;
  if (!Detail) return Failed(DetailSize ? ERROR_INVALID_USER_BUFFER : ERROR_INSUFFICIENT_BUFFER);
  if (DetailSize < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) ||
      Detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
    return Failed(ERROR_INVALID_USER_BUFFER);
  if (DetailSize < needed) return Failed(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(reinterpret_cast<BYTE*>(Detail) + kPathOffset, s.itf->path.c_str(),
              (s.itf->path.size() + 1) * sizeof(WCHAR));
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
  if (!DeviceInstanceId && DeviceInstanceIdSize) return Failed(ERROR_INVALID_USER_BUFFER);
  if (DeviceInstanceIdSize < needed) return Failed(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(DeviceInstanceId, node->instance_id.c_str(), needed * sizeof(WCHAR));
  return TRUE;
}

// Adds the device `DeviceInstanceId` (present or not) to the set, unless it is there.
BOOL WINAPI SetupDiOpenDeviceInfoW(HDEVINFO DeviceInfoSet, PCWSTR DeviceInstanceId, HWND, DWORD,
                                   PSP_DEVINFO_DATA DeviceInfoData) {
  auto set = SetOf(DeviceInfoSet);
  if (!set) return FALSE;
  if (!DeviceInstanceId) return Failed(ERROR_INVALID_PARAMETER);
  const std::u16string id = AsChar16(DeviceInstanceId);
  const auto nodes = set->tree ? set->tree->Current() : nullptr;
  const DevNode* found = nodes ? nodes->Find(id) : nullptr;
  if (!found || found->root) return Failed(ERROR_NO_SUCH_DEVINST);
  if (set->class_guid && *set->class_guid != found->class_guid)
    return Failed(kClassMismatch);
  if (DeviceInfoData && DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA))
    return Failed(ERROR_INVALID_USER_BUFFER);
  std::size_t index = 0;
  while (index < set->nodes.size() && !EqualAsciiNoCase(set->nodes[index]->instance_id, id))
    ++index;
  if (index == set->nodes.size()) {
    set->nodes.push_back(&set->opened.emplace_back(*found));
    set->node_interfaces.emplace_back();
  }
  return !DeviceInfoData || Fill(DeviceInfoData, *set->nodes[index], index);
}

// The parameters are kept as given, for the device or (without one) the whole set;
// the class installer reads them when it is called.
BOOL WINAPI SetupDiSetClassInstallParamsW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                          PSP_CLASSINSTALL_HEADER ClassInstallParams,
                                          DWORD ClassInstallParamsSize) {
  auto set = SetOf(DeviceInfoSet);
  if (!set) return FALSE;
  std::size_t index = 0;
  if (DeviceInfoData && !NodeOf(*set, DeviceInfoData, &index)) return FALSE;
  const std::size_t target = DeviceInfoData ? index + 1 : 0;
  if (!ClassInstallParams) {  // clears them
    set->params.erase(target);
    return TRUE;
  }
  if (ClassInstallParamsSize < sizeof(SP_CLASSINSTALL_HEADER) ||
      ClassInstallParams->cbSize != sizeof(SP_CLASSINSTALL_HEADER))
    return Failed(ERROR_INVALID_USER_BUFFER);
  const auto* bytes = reinterpret_cast<const BYTE*>(ClassInstallParams);
  set->params[target].assign(bytes, bytes + ClassInstallParamsSize);
  return TRUE;
}

// The property-change parameters set for the member `index` (or for the whole set).
bool ChangeParams(const DeviceInfoSet& set, std::size_t index, SP_PROPCHANGE_PARAMS* out) {
  auto it = set.params.find(index + 1);
  if (it == set.params.end()) it = set.params.find(0);
  if (it == set.params.end() || it->second.size() < sizeof(SP_PROPCHANGE_PARAMS)) return false;
  std::memcpy(out, it->second.data(), sizeof *out);
  return out->ClassInstallHeader.InstallFunction == DIF_PROPERTYCHANGE;
}

// The class installer carries out property changes (enable, disable, restart) with
// the parameters set before; no other installer function is simulated.
BOOL WINAPI SetupDiCallClassInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                      PSP_DEVINFO_DATA DeviceInfoData) {
  auto set = SetOf(DeviceInfoSet);
  if (!set) return FALSE;
  if (InstallFunction == DIF_PROPERTYCHANGE && !DeviceInfoData)
    return Failed(ERROR_INVALID_PARAMETER);
  std::size_t index = 0;
  const DevNode* node = DeviceInfoData ? NodeOf(*set, DeviceInfoData, &index) : nullptr;
  if (DeviceInfoData && !node) return FALSE;
  if (InstallFunction != DIF_PROPERTYCHANGE) return Failed(ERROR_CALL_NOT_IMPLEMENTED);
  SP_PROPCHANGE_PARAMS params{};
  if (!ChangeParams(*set, index, &params)) return Failed(kNoClassInstallParams);
  if ((params.Scope != DICS_FLAG_GLOBAL && params.Scope != DICS_FLAG_CONFIGSPECIFIC) ||
      params.StateChange < DICS_ENABLE || params.StateChange > DICS_STOP)
    return Failed(ERROR_INVALID_PARAMETER);
  if (!set->tree) return Failed(ERROR_NO_SUCH_DEVINST);
  const DWORD error = set->tree->ChangeState(*node, params.StateChange, params.Scope);
  return error == ERROR_SUCCESS ? TRUE : Failed(error);
}

template <DWORD (DeviceTree::*Change)(const DevNode&)>
BOOL WINAPI RemoveCall(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData) {
  auto set = SetOf(DeviceInfoSet);
  if (!set) return FALSE;
  std::size_t index = 0;
  const DevNode* node = NodeOf(*set, DeviceInfoData, &index);
  if (!node) return FALSE;
  if (!set->tree) return Failed(ERROR_NO_SUCH_DEVINST);
  const DWORD error = ((*set->tree).*Change)(*node);
  return error == ERROR_SUCCESS ? TRUE : Failed(error);
}

// Nothing in the system creates device nodes, writes properties or reads INF files;
// these entries exist for the binding and refuse.
BOOL WINAPI SetupDiCreateDeviceInfoW(HDEVINFO DeviceInfoSet, PCWSTR, const GUID*, PCWSTR, HWND,
                                     DWORD, PSP_DEVINFO_DATA) {
  if (!SetOf(DeviceInfoSet)) return FALSE;
  return Failed(ERROR_ACCESS_DENIED);
}
BOOL WINAPI SetupDiGetINFClassW(PCWSTR InfName, GUID*, PWSTR, DWORD, PDWORD) {
  return Failed(InfName ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_PARAMETER);
}
BOOL WINAPI SetupDiSetDeviceRegistryPropertyW(HDEVINFO DeviceInfoSet,
                                              PSP_DEVINFO_DATA DeviceInfoData, DWORD, const BYTE*,
                                              DWORD) {
  auto set = SetOf(DeviceInfoSet);
  if (!set) return FALSE;
  std::size_t index = 0;
  if (!NodeOf(*set, DeviceInfoData, &index)) return FALSE;
  return Failed(ERROR_ACCESS_DENIED);
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
static_assert(
    std::is_same_v<decltype(&SetupDiSetClassInstallParamsW), PFN_SetupDiSetClassInstallParamsW>);
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
  static const auto module = [] {
    std::vector<Module::Entry> entries = {
        trace::TracedEntry<"SetupDiGetClassDevsW", &SetupDiGetClassDevsW>(),
        trace::TracedEntry<"SetupDiDestroyDeviceInfoList", &SetupDiDestroyDeviceInfoList>(),
        trace::TracedEntry<"SetupDiEnumDeviceInfo", &SetupDiEnumDeviceInfo>(),
        trace::TracedEntry<"SetupDiGetDeviceRegistryPropertyW", &SetupDiGetDeviceRegistryPropertyW>(),
        trace::TracedEntry<"SetupDiOpenDevRegKey", &SetupDiOpenDevRegKey>(),
        trace::TracedEntry<"SetupDiEnumDeviceInterfaces", &SetupDiEnumDeviceInterfaces>(),
        trace::TracedEntry<"SetupDiGetDeviceInterfaceDetailW", &SetupDiGetDeviceInterfaceDetailW>(),
        trace::TracedEntry<"SetupDiCreateDeviceInfoList", &SetupDiCreateDeviceInfoList>(),
        trace::TracedEntry<"SetupDiCreateDeviceInfoW", &SetupDiCreateDeviceInfoW>(),
        trace::TracedEntry<"SetupDiGetINFClassW", &SetupDiGetINFClassW>(),
        trace::TracedEntry<"SetupDiSetDeviceRegistryPropertyW", &SetupDiSetDeviceRegistryPropertyW>(),
        trace::TracedEntry<"SetupDiCallClassInstaller", &SetupDiCallClassInstaller>(),
        trace::TracedEntry<"SetupDiGetDeviceInstanceIdW", &SetupDiGetDeviceInstanceIdW>(),
        trace::TracedEntry<"SetupDiRemoveDevice", &RemoveCall<&DeviceTree::Remove>>(),
        trace::TracedEntry<"SetupDiUnremoveDevice", &RemoveCall<&DeviceTree::Unremove>>(),
        trace::TracedEntry<"SetupDiOpenDeviceInfoW", &SetupDiOpenDeviceInfoW>(),
        trace::TracedEntry<"SetupDiSetClassInstallParamsW", &SetupDiSetClassInstallParamsW>(),
    };
    // Windows' SetupAPI.dll exports the configuration manager's entries as well.
    for (Module::Entry& e : CfgMgrEntries()) entries.push_back(std::move(e));
    return std::make_shared<const Module>(u"SetupAPI.dll", std::move(entries));
  }();
  return module;
}

}  // namespace qzplatform::hidshared
