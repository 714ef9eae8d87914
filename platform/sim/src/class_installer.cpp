// The sim SetupAPI's installer side. The machine's devices come from its description,
// so nothing can be created, installed from an INF file or rewritten. Class-install
// parameters are kept per device; the class installer carries out property changes
// (enable, disable, restart) with them, and devices can be removed and brought back.
#include <cstring>

#include "device_info_set.h"
#include "qzplatform/sim/sim_ground.h"
#include "shared_machine.h"

namespace qzplatform::sim {

BOOL WINAPI SetupDiCreateDeviceInfoW(HDEVINFO DeviceInfoSet, PCWSTR, const GUID*, PCWSTR, HWND,
                                     DWORD, PSP_DEVINFO_DATA) {
  if (!LookupSet(DeviceInfoSet)) return FALSE;
  return Fail(ERROR_ACCESS_DENIED);
}

BOOL WINAPI SetupDiGetINFClassW(PCWSTR InfName, GUID*, PWSTR, DWORD, PDWORD) {
  return Fail(InfName ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_PARAMETER);
}

BOOL WINAPI SetupDiSetDeviceRegistryPropertyW(HDEVINFO DeviceInfoSet,
                                              PSP_DEVINFO_DATA DeviceInfoData, DWORD, const BYTE*,
                                              DWORD) {
  auto set = LookupSet(DeviceInfoSet);
  if (!set) return FALSE;
  const DeviceTree tree = CurrentDeviceTree();
  if (!MemberOf(*set, tree, DeviceInfoData)) return FALSE;
  return Fail(ERROR_ACCESS_DENIED);
}

BOOL WINAPI SetupDiSetClassInstallParamsW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                          PSP_CLASSINSTALL_HEADER ClassInstallParams,
                                          DWORD ClassInstallParamsSize) {
  auto set = LookupSet(DeviceInfoSet);
  if (!set) return FALSE;
  DEVINST target = 0;
  if (DeviceInfoData) {
    const DeviceTree tree = CurrentDeviceTree();
    const DeviceNode* node = MemberOf(*set, tree, DeviceInfoData);
    if (!node) return FALSE;
    target = node->devinst;
  }
  if (!ClassInstallParams) {  // clears them
    set->install_params.erase(target);
    return TRUE;
  }
  if (ClassInstallParamsSize < sizeof(SP_CLASSINSTALL_HEADER) ||
      ClassInstallParams->cbSize != sizeof(SP_CLASSINSTALL_HEADER))
    return Fail(ERROR_INVALID_USER_BUFFER);
  std::vector<BYTE> params(ClassInstallParamsSize);
  std::memcpy(params.data(), ClassInstallParams, ClassInstallParamsSize);
  set->install_params[target] = std::move(params);
  return TRUE;
}

namespace {

constexpr DWORD kNoClassInstallParams = 0xE0000215u;  // ERROR_NO_CLASSINSTALL_PARAMS

// The machine behind the active sim ground, or null.
std::shared_ptr<Machine> ActiveMachine() {
  auto ground = std::dynamic_pointer_cast<SimGround>(CurrentGround());
  return ground ? ground->machine() : nullptr;
}

// The node `info` names in `set`, for a change the process is allowed to make: a
// 32-bit process on 64-bit Windows is refused (a program sharing the machine, the
// 64-bit helper, is not), so is one without administrator rights.
const DeviceNode* Target(HDEVINFO handle, const DeviceTree& tree, const SP_DEVINFO_DATA* info,
                         std::shared_ptr<DeviceInfoSet>* set, std::shared_ptr<Machine>* machine) {
  *set = LookupSet(handle);
  if (!*set) return nullptr;
  const DeviceNode* node = MemberOf(**set, tree, info);
  if (!node) return nullptr;
  *machine = ActiveMachine();
  if (!*machine || node->parent == 0) {
    SetLastError(ERROR_ACCESS_DENIED);  // the root cannot be changed
    return nullptr;
  }
  if ((*machine)->Wow64() && !ServingSharedProcess()) {
    SetLastError(ERROR_IN_WOW64);
    return nullptr;
  }
  if (!(*machine)->Elevated()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  if (node->removed) {
    SetLastError(ERROR_NO_SUCH_DEVINST);
    return nullptr;
  }
  return node;
}

std::size_t CollectionOf(const DeviceNode& node) {
  return node.collection < 0 ? Machine::kDeviceNode : static_cast<std::size_t>(node.collection);
}

// The property-change parameters set for `node` (or for the whole set), or null.
const SP_PROPCHANGE_PARAMS* ChangeParams(const DeviceInfoSet& set, DEVINST node,
                                         SP_PROPCHANGE_PARAMS* out) {
  auto it = set.install_params.find(node);
  if (it == set.install_params.end()) it = set.install_params.find(0);
  if (it == set.install_params.end() || it->second.size() < sizeof(SP_PROPCHANGE_PARAMS))
    return nullptr;
  std::memcpy(out, it->second.data(), sizeof *out);
  return out->ClassInstallHeader.InstallFunction == DIF_PROPERTYCHANGE ? out : nullptr;
}

BOOL ChangeProperties(HDEVINFO handle, PSP_DEVINFO_DATA DeviceInfoData) {
  if (!DeviceInfoData) return Fail(ERROR_INVALID_PARAMETER);
  const DeviceTree tree = CurrentDeviceTree();
  std::shared_ptr<DeviceInfoSet> set;
  std::shared_ptr<Machine> machine;
  const DeviceNode* node = Target(handle, tree, DeviceInfoData, &set, &machine);
  if (!node) return FALSE;
  SP_PROPCHANGE_PARAMS params{};
  if (!ChangeParams(*set, node->devinst, &params)) return Fail(kNoClassInstallParams);
  if (params.Scope != DICS_FLAG_GLOBAL && params.Scope != DICS_FLAG_CONFIGSPECIFIC)
    return Fail(ERROR_INVALID_PARAMETER);
  Machine::NodeChange change;
  switch (params.StateChange) {
    case DICS_ENABLE:
    case DICS_START: change = Machine::NodeChange::kEnable; break;
    case DICS_DISABLE:
    case DICS_STOP: change = Machine::NodeChange::kDisable; break;
    case DICS_PROPCHANGE: change = Machine::NodeChange::kRestart; break;
    default: return Fail(ERROR_INVALID_PARAMETER);
  }
  machine->ChangeNode(node->device, CollectionOf(*node), change);
  machine->RecordPropertyChange(
      {node->instance_id, params.StateChange, params.Scope, ServingSharedProcess()});
  return TRUE;
}

BOOL Removal(HDEVINFO handle, PSP_DEVINFO_DATA DeviceInfoData, bool remove) {
  const DeviceTree tree = CurrentDeviceTree();
  std::shared_ptr<DeviceInfoSet> set;
  std::shared_ptr<Machine> machine;
  if (!remove) {
    // Bringing back a removed node: it must still be a member of the set.
    set = LookupSet(handle);
    if (!set) return FALSE;
    const DeviceNode* node = MemberOf(*set, tree, DeviceInfoData);
    if (!node) return FALSE;
    machine = ActiveMachine();
    if (!machine || node->parent == 0) return Fail(ERROR_ACCESS_DENIED);
    if (machine->Wow64() && !ServingSharedProcess()) return Fail(ERROR_IN_WOW64);
    if (!machine->Elevated()) return Fail(ERROR_ACCESS_DENIED);
    machine->ChangeNode(node->device, CollectionOf(*node), Machine::NodeChange::kUnremove);
    return TRUE;
  }
  const DeviceNode* node = Target(handle, tree, DeviceInfoData, &set, &machine);
  if (!node) return FALSE;
  machine->ChangeNode(node->device, CollectionOf(*node), Machine::NodeChange::kRemove);
  return TRUE;
}

}  // namespace

BOOL WINAPI SetupDiCallClassInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                      PSP_DEVINFO_DATA DeviceInfoData) {
  if (InstallFunction == DIF_PROPERTYCHANGE) return ChangeProperties(DeviceInfoSet, DeviceInfoData);
  auto set = LookupSet(DeviceInfoSet);
  if (!set) return FALSE;
  if (DeviceInfoData) {
    const DeviceTree tree = CurrentDeviceTree();
    if (!MemberOf(*set, tree, DeviceInfoData)) return FALSE;
  }
  return Fail(ERROR_CALL_NOT_IMPLEMENTED);  // no other installer function is simulated
}

BOOL WINAPI SetupDiRemoveDevice(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData) {
  return Removal(DeviceInfoSet, DeviceInfoData, true);
}

BOOL WINAPI SetupDiUnremoveDevice(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData) {
  return Removal(DeviceInfoSet, DeviceInfoData, false);
}

}  // namespace qzplatform::sim
