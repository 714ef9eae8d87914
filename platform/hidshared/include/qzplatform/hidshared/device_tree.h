// The device tree a ground shows through "SetupAPI.dll", "cfgmgr32.dll", "ntdll.dll"
// and the registry: device nodes with their properties, hardware key, interfaces and
// relations, and the class installer's state changes. A ground supplies the tree; the
// modules over it are the same for every ground.
#pragma once

#ifndef _WIN32

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "qzplatform/ground.h"
#include "qzplatform/setupapi.h"

namespace qzplatform::hidshared {

struct DeviceInterface {
  GUID interface_class{};
  std::u16string path;  // what CreateFileW opens
};

// One device node as the device-installation interface shows it.
struct DevNode {
  std::u16string instance_id;  // enumerator\device ID\instance
  GUID class_guid{};
  // SPDRP_ code and its text (REG_SZ); a code that is absent has no value.
  std::vector<std::pair<DWORD, std::u16string>> properties;
  // The hardware key below HKEY_LOCAL_MACHINE and its values.
  std::u16string hardware_key;
  std::vector<RegistryValue> hardware_values;
  std::vector<DeviceInterface> interfaces;  // active interfaces only
  std::u16string parent;                    // instance ID; empty for a root
  std::vector<std::u16string> removal_relations;
  bool present = true;

  const std::u16string* Property(DWORD code) const;
};

class DeviceTree {
 public:
  virtual ~DeviceTree() = default;
  // Every device node as it is now. Bus relations are the nodes whose parent it is.
  virtual std::vector<DevNode> Snapshot() = 0;
  // The class installer's DIF_PROPERTYCHANGE: DICS_ENABLE, DICS_DISABLE or
  // DICS_PROPCHANGE (restart) in `scope`. 0, or the Win32 error the call fails with
  // (ERROR_ACCESS_DENIED without the rights for it).
  virtual DWORD ChangeState(const DevNode& node, DWORD state_change, DWORD scope) = 0;
  // SetupDiRemoveDevice and SetupDiUnremoveDevice: 0 or the Win32 error.
  virtual DWORD Remove(const DevNode& node) = 0;
  virtual DWORD Unremove(const DevNode& node) = 0;
};

// A ground that has a device tree implements this beside Ground.
class DeviceTreeSource {
 public:
  virtual ~DeviceTreeSource() = default;
  virtual std::shared_ptr<DeviceTree> Devices() = 0;
};

// The modules over the active ground's tree.
std::shared_ptr<const Module> SetupApiModule();  // "SetupAPI.dll": the SetupDi entries
std::shared_ptr<const Module> CfgMgrModule();    // "cfgmgr32.dll": the CM_ entries
std::shared_ptr<const Module> NtdllModule();     // "ntdll.dll": ZwQueryKey
// The module of that name among the three (case-insensitive, ".dll" optional), or null.
std::shared_ptr<const Module> FindTreeModule(std::u16string_view name);

// A ground's ReadRegistryKey over its tree: the hardware keys below HKEY_LOCAL_MACHINE.
std::optional<RegistryKeyData> ReadTreeKey(DeviceTree& tree, HKEY root, std::u16string_view path);

// The configuration manager's number for an instance ID: the same ID always gets the
// same number in a process, and numbers are never reused.
DEVINST DevInstOf(const std::u16string& instance_id);

}  // namespace qzplatform::hidshared

#endif  // !_WIN32
