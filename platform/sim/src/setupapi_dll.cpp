// The sim ground's "SetupAPI.dll": device information sets over the machine's device
// tree, registry properties, instance IDs, hardware keys and HID device interfaces.
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "device_info_set.h"
#include "field_error.h"
#include "qzplatform/sim/sim_ground.h"

namespace qzplatform::sim {
namespace {

constexpr std::size_t kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);

bool HasInterfaceOf(const DeviceNode& node, const GUID* interface_class) {
  return !node.interfaces.empty() &&
         (!interface_class || SameGuid(*interface_class, kHidInterfaceGuid));
}

bool InEnumerator(const DeviceNode& node, PCWSTR enumerator) {
  if (!enumerator || !*enumerator) return true;
  return SameText(std::u16string_view(node.instance_id).substr(0, node.instance_id.find(u'\\')),
                  U(enumerator));
}

// An interface handed out in SP_DEVICE_INTERFACE_DATA::Reserved: the member's position
// plus one in the high bits, the interface's index in the low 16.
ULONG_PTR InterfaceToken(std::size_t member, std::size_t index) {
  return (static_cast<ULONG_PTR>(member + 1) << 16) | static_cast<ULONG_PTR>(index);
}

struct InterfaceRef {
  const DeviceNode* node = nullptr;
  std::size_t member = 0;
  std::size_t index = 0;
};

// The interface an SP_DEVICE_INTERFACE_DATA names, or null node with the last error set.
InterfaceRef InterfaceOf(const DeviceInfoSet& set, const DeviceTree& tree,
                         const SP_DEVICE_INTERFACE_DATA* data) {
  if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return {};
  }
  const std::size_t member = static_cast<std::size_t>(data->Reserved >> 16);
  const std::size_t index = static_cast<std::size_t>(data->Reserved & 0xFFFF);
  const DeviceNode* node =
      member >= 1 && member <= set.members.size() ? tree.Find(set.members[member - 1]) : nullptr;
  if (!node || index >= node->interfaces.size()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return {};
  }
  return {node, member - 1, index};
}

HDEVINFO WINAPI SetupDiGetClassDevsW(const GUID* ClassGuid, PCWSTR Enumerator, HWND, DWORD Flags) {
  const bool all = Flags & DIGCF_ALLCLASSES;
  if (!all && !ClassGuid) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  auto set = std::make_shared<DeviceInfoSet>();
  if (!all && !(Flags & DIGCF_DEVICEINTERFACE)) set->class_guid = *ClassGuid;
  const DeviceTree tree = CurrentDeviceTree();
  for (const DeviceNode& node : tree.nodes()) {
    if (node.parent == 0 || node.removed || !InEnumerator(node, Enumerator)) continue;
    // Present interfaces are those of started devices (a disabled device has none).
    if ((Flags & DIGCF_PRESENT) && !((Flags & DIGCF_DEVICEINTERFACE) ? node.started : node.present))
      continue;
    const bool member = (Flags & DIGCF_DEVICEINTERFACE)
                            ? HasInterfaceOf(node, all ? nullptr : ClassGuid)
                            : all || SameGuid(node.class_guid, *ClassGuid);
    if (member) set->members.push_back(node.devinst);
  }
  return InsertHandle(std::move(set));
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
  if (!LookupSet(DeviceInfoSet)) return FALSE;
  return CloseHandle(DeviceInfoSet);
}

BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex,
                                  PSP_DEVINFO_DATA DeviceInfoData) {
  auto set = LookupSet(DeviceInfoSet);
  if (!set) return FALSE;
  if (!DeviceInfoData) return Fail(ERROR_INVALID_PARAMETER);
  if (MemberIndex >= set->members.size()) return Fail(ERROR_NO_MORE_ITEMS);
  const DeviceTree tree = CurrentDeviceTree();
  const DeviceNode* node = tree.Find(set->members[MemberIndex]);
  if (!node) return Fail(ERROR_NO_SUCH_DEVINST);
  return FillDeviceInfo(*node, MemberIndex, DeviceInfoData);
}

BOOL WINAPI SetupDiGetDeviceRegistryPropertyW(HDEVINFO DeviceInfoSet,
                                              PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                              PDWORD PropertyRegDataType, PBYTE PropertyBuffer,
                                              DWORD PropertyBufferSize, PDWORD RequiredSize) {
  auto set = LookupSet(DeviceInfoSet);
  if (!set) return FALSE;
  const DeviceTree tree = CurrentDeviceTree();
  const DeviceNode* node = MemberOf(*set, tree, DeviceInfoData);
  if (!node) return FALSE;
  if (Property >= SPDRP_MAXIMUM_PROPERTY) return Fail(ERROR_INVALID_REG_PROPERTY);
  if (!PropertyBuffer && PropertyBufferSize) return Fail(ERROR_INVALID_USER_BUFFER);
  const auto value = PropertyOf(*node, Property);
  if (!value) return Fail(ERROR_INVALID_DATA);
  const DWORD size = static_cast<DWORD>(value->data.size());
  if (RequiredSize) *RequiredSize = size;
  if (PropertyRegDataType) *PropertyRegDataType = value->type;
  if (PropertyBufferSize < size) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(PropertyBuffer, value->data.data(), size);
  return TRUE;
}

HKEY WINAPI SetupDiOpenDevRegKey(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                 DWORD Scope, DWORD, DWORD KeyType, REGSAM samDesired) {
  const HKEY invalid = reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
  auto set = LookupSet(DeviceInfoSet);
  if (!set) return invalid;
  const DeviceTree tree = CurrentDeviceTree();
  const DeviceNode* node = MemberOf(*set, tree, DeviceInfoData);
  if (!node) return invalid;
  if ((Scope != DICS_FLAG_GLOBAL && Scope != DICS_FLAG_CONFIGSPECIFIC) ||
      (KeyType != DIREG_DEV && KeyType != DIREG_DRV)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return invalid;
  }
  std::u16string path = u"SYSTEM\\CurrentControlSet\\";
  if (KeyType == DIREG_DEV) {
    path += u"Enum\\" + node->instance_id + u"\\Device Parameters";
  } else {
    if (node->driver.empty()) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return invalid;
    }
    path += u"Control\\Class\\" + node->driver;
  }
  HKEY key = nullptr;
  const LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(path), 0, samDesired, &key);
  if (status != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(status));
    return invalid;
  }
  return key;
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                        PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) {
  auto set = LookupSet(DeviceInfoSet);
  if (!set) return FALSE;
  if (!InterfaceClassGuid) return Fail(ERROR_INVALID_PARAMETER);
  if (!DeviceInterfaceData || DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
    return Fail(ERROR_INVALID_USER_BUFFER);
  const DeviceTree tree = CurrentDeviceTree();
  std::size_t first = 0, last = set->members.size();
  if (DeviceInfoData) {
    if (!MemberOf(*set, tree, DeviceInfoData)) return FALSE;
    first = static_cast<std::size_t>(DeviceInfoData->Reserved - 1);
    last = first + 1;
  }
  std::size_t remaining = MemberIndex;
  for (std::size_t m = first; m < last; ++m) {
    const DeviceNode* node = tree.Find(set->members[m]);
    if (!node || !HasInterfaceOf(*node, InterfaceClassGuid)) continue;
    if (remaining >= node->interfaces.size()) {
      remaining -= node->interfaces.size();
      continue;
    }
    DeviceInterfaceData->InterfaceClassGuid = *InterfaceClassGuid;
    DeviceInterfaceData->Flags = node->started ? SPINT_ACTIVE : 0;
    DeviceInterfaceData->Reserved = InterfaceToken(m, remaining);
    return TRUE;
  }
  return Fail(ERROR_NO_MORE_ITEMS);
}

BOOL WINAPI SetupDiGetDeviceInterfaceDetailW(HDEVINFO DeviceInfoSet,
                                             PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_W Detail,
                                             DWORD DetailSize, PDWORD RequiredSize,
                                             PSP_DEVINFO_DATA DeviceInfoData) {
  auto set = LookupSet(DeviceInfoSet);
  if (!set) return FALSE;
  const DeviceTree tree = CurrentDeviceTree();
  const InterfaceRef ref = InterfaceOf(*set, tree, DeviceInterfaceData);
  if (!ref.node) return FALSE;
  const std::u16string& path = ref.node->interfaces[ref.index];
  const DWORD needed = static_cast<DWORD>(kPathOffset + (path.size() + 1) * sizeof(WCHAR));
  if (RequiredSize) *RequiredSize = needed;
  if (DeviceInfoData && !FillDeviceInfo(*ref.node, ref.member, DeviceInfoData)) return FALSE;
  if (!Detail) return Fail(DetailSize ? ERROR_INVALID_USER_BUFFER : ERROR_INSUFFICIENT_BUFFER);
  if (DetailSize < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) ||
      Detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
    return Fail(ERROR_INVALID_USER_BUFFER);
  if (DetailSize < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(reinterpret_cast<BYTE*>(Detail) + kPathOffset, path.c_str(),
              (path.size() + 1) * sizeof(WCHAR));
  return TRUE;
}

HDEVINFO WINAPI SetupDiCreateDeviceInfoList(const GUID* ClassGuid, HWND) {
  auto set = std::make_shared<DeviceInfoSet>();
  if (ClassGuid) set->class_guid = *ClassGuid;
  return InsertHandle(std::move(set));
}

BOOL WINAPI SetupDiGetDeviceInstanceIdW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        PWSTR DeviceInstanceId, DWORD DeviceInstanceIdSize,
                                        PDWORD RequiredSize) {
  auto set = LookupSet(DeviceInfoSet);
  if (!set) return FALSE;
  const DeviceTree tree = CurrentDeviceTree();
  const DeviceNode* node = MemberOf(*set, tree, DeviceInfoData);
  if (!node) return FALSE;
  const DWORD needed = static_cast<DWORD>(node->instance_id.size() + 1);
  if (RequiredSize) *RequiredSize = needed;
  if (!DeviceInstanceId && DeviceInstanceIdSize) return Fail(ERROR_INVALID_USER_BUFFER);
  if (DeviceInstanceIdSize < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(DeviceInstanceId, node->instance_id.c_str(), needed * sizeof(WCHAR));
  return TRUE;
}

// Adds the device `DeviceInstanceId` (present or not) to the set.
BOOL WINAPI SetupDiOpenDeviceInfoW(HDEVINFO DeviceInfoSet, PCWSTR DeviceInstanceId, HWND, DWORD,
                                   PSP_DEVINFO_DATA DeviceInfoData) {
  auto set = LookupSet(DeviceInfoSet);
  if (!set) return FALSE;
  if (!DeviceInstanceId) return Fail(ERROR_INVALID_PARAMETER);
  const DeviceTree tree = CurrentDeviceTree();
  const DeviceNode* node = tree.Find(U(DeviceInstanceId));
  if (!node || node->parent == 0) return Fail(ERROR_NO_SUCH_DEVINST);
  if (set->class_guid && !SameGuid(*set->class_guid, node->class_guid))
    return Fail(0xE0000203u);  // ERROR_CLASS_MISMATCH
  if (DeviceInfoData && DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA))
    return Fail(ERROR_INVALID_USER_BUFFER);
  auto it = std::find(set->members.begin(), set->members.end(), node->devinst);
  if (it == set->members.end()) it = set->members.insert(set->members.end(), node->devinst);
  const std::size_t index = static_cast<std::size_t>(it - set->members.begin());
  return DeviceInfoData ? FillDeviceInfo(*node, index, DeviceInfoData) : TRUE;
}

}  // namespace

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

std::shared_ptr<DeviceInfoSet> LookupSet(HDEVINFO handle) {
  auto set = LookupHandleAs<DeviceInfoSet>(handle);
  if (!set) SetLastError(ERROR_INVALID_HANDLE);
  return set;
}

const DeviceNode* MemberOf(const DeviceInfoSet& set, const DeviceTree& tree,
                           const SP_DEVINFO_DATA* info) {
  if (!info || info->cbSize != sizeof(SP_DEVINFO_DATA)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return nullptr;
  }
  const ULONG_PTR index = info->Reserved;
  if (index == 0 || index > set.members.size() || set.members[index - 1] != info->DevInst) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const DeviceNode* node = tree.Find(info->DevInst);
  if (!node) SetLastError(ERROR_NO_SUCH_DEVINST);
  return node;
}

bool FillDeviceInfo(const DeviceNode& node, std::size_t index, SP_DEVINFO_DATA* info) {
  if (!info || info->cbSize != sizeof(SP_DEVINFO_DATA)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return false;
  }
  info->ClassGuid = node.class_guid;
  info->DevInst = node.devinst;
  info->Reserved = static_cast<ULONG_PTR>(index + 1);
  return true;
}

std::shared_ptr<const Module> SetupApiModule() {
  static const auto module = [] {
    std::vector<Module::Entry> entries = {
        {"SetupDiGetClassDevsW", Proc(SetupDiGetClassDevsW)},
        {"SetupDiDestroyDeviceInfoList", Proc(SetupDiDestroyDeviceInfoList)},
        {"SetupDiEnumDeviceInfo", Proc(SetupDiEnumDeviceInfo)},
        {"SetupDiGetDeviceRegistryPropertyW", Proc(SetupDiGetDeviceRegistryPropertyW)},
        {"SetupDiOpenDevRegKey", Proc(SetupDiOpenDevRegKey)},
        {"SetupDiEnumDeviceInterfaces", Proc(SetupDiEnumDeviceInterfaces)},
        {"SetupDiGetDeviceInterfaceDetailW", Proc(SetupDiGetDeviceInterfaceDetailW)},
        {"SetupDiCreateDeviceInfoList", Proc(SetupDiCreateDeviceInfoList)},
        {"SetupDiCreateDeviceInfoW", Proc(SetupDiCreateDeviceInfoW)},
        {"SetupDiGetINFClassW", Proc(SetupDiGetINFClassW)},
        {"SetupDiSetDeviceRegistryPropertyW", Proc(SetupDiSetDeviceRegistryPropertyW)},
        {"SetupDiCallClassInstaller", Proc(SetupDiCallClassInstaller)},
        {"SetupDiGetDeviceInstanceIdW", Proc(SetupDiGetDeviceInstanceIdW)},
        {"SetupDiOpenDeviceInfoW", Proc(SetupDiOpenDeviceInfoW)},
        {"SetupDiRemoveDevice", Proc(SetupDiRemoveDevice)},
        {"SetupDiUnremoveDevice", Proc(SetupDiUnremoveDevice)},
        {"SetupDiSetClassInstallParamsW", Proc(SetupDiSetClassInstallParamsW)},
    };
    for (Module::Entry& e : ConfigManagerEntries()) entries.push_back(std::move(e));
    return std::make_shared<const Module>(u"SetupAPI.dll", std::move(entries));
  }();
  return module;
}

}  // namespace qzplatform::sim
