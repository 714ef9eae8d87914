// The device tree a ground shows through "SetupAPI.dll", "cfgmgr32.dll", "ntdll.dll"
// and the registry: device nodes with their properties, hardware key, interfaces and
// relations, and the class installer's state changes. A ground supplies the tree; the
// modules over it are the same for every ground.
#pragma once

#ifndef _WIN32

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "qzplatform/ground.h"
#include "qzplatform/setupapi.h"

namespace qzplatform::hidshared {

struct DeviceInterface {
  GUID interface_class{};
  std::u16string path;  // what CreateFileW opens
  // An inactive interface (its device stopped) is listed only by sets that are not
  // limited to present devices, and without SPINT_ACTIVE.
  bool active = true;
};

// A registry property as SetupAPI hands it out: its type and bytes.
struct PropertyValue {
  DWORD type = REG_SZ;
  std::vector<BYTE> data;
};

// One device node as the device-installation interface shows it.
struct DevNode {
  std::u16string instance_id;  // enumerator\device ID\instance
  GUID class_guid{};
  // SPDRP_ code and its text (REG_SZ); a code that is absent or empty has no value.
  std::vector<std::pair<DWORD, std::u16string>> properties;
  std::vector<std::u16string> hardware_ids;  // SPDRP_HARDWAREID (REG_MULTI_SZ); none: no value
  // The hardware key below HKEY_LOCAL_MACHINE and its values.
  std::u16string hardware_key;
  std::vector<RegistryValue> hardware_values;
  std::vector<DeviceInterface> interfaces;
  std::u16string parent;  // instance ID; empty for a root
  std::vector<std::u16string> removal_relations;
  // A node that is not present stands only in the registry: no present-only set lists
  // it, the configuration manager finds it only as a phantom and walks past it.
  bool present = true;
  // The root of the whole tree: located without an ID, never a member of a set, and
  // without properties.
  bool root = false;

  const std::u16string* Property(DWORD code) const;
  // The SPDRP_ property `code` with its type: the texts above, the hardware IDs, and
  // the class GUID, class name and enumerator every node but the root has.
  std::optional<PropertyValue> Value(DWORD code) const;
};

// The nodes of one snapshot with their indexes (device_tree_common.h).
class NodeTable;

// The part of a ground's contract (qzplatform/ground.h) for a ground with devices to
// enumerate: the overrides below. Snapshot and StateMark are called with this tree's own
// lock held (so never twice at once) and must not call back into Current or Unchanged.
class DeviceTree {
 public:
  virtual ~DeviceTree() = default;
  // Every device node as it is now. Bus relations are the nodes whose parent it is.
  // Cannot fail: what cannot be read is left out. May read the file system (sysfs) but
  // must not wait for a device.
  virtual std::vector<DevNode> Snapshot() = 0;
  // A cheap mark of the machine's state: while it reads the same, Snapshot gives the
  // same nodes. None (the default): the tree has no such mark. Must not block.
  virtual std::optional<std::string> StateMark() { return std::nullopt; }
  // The nodes as they are now, for the modules: one snapshot per change of the state
  // mark (per call without a mark), shared by every call until the next change.
  std::shared_ptr<const NodeTable> Current();
  // Whether the machine is as the last snapshot saw it: the state mark reads as it did
  // then. False before the first snapshot and for a tree without a mark.
  bool Unchanged();
  // The class installer's DIF_PROPERTYCHANGE: DICS_ENABLE, DICS_DISABLE or
  // DICS_PROPCHANGE (restart) in `scope`. 0, or the Win32 error the call fails with
  // (ERROR_ACCESS_DENIED without the rights for it). Called with no lock held; it may
  // block until the device has restarted.
  virtual DWORD ChangeState(const DevNode& node, DWORD state_change, DWORD scope) = 0;
  // SetupDiRemoveDevice and SetupDiUnremoveDevice: 0 or the Win32 error.
  virtual DWORD Remove(const DevNode& node) = 0;
  virtual DWORD Unremove(const DevNode& node) = 0;

 private:
  std::mutex mutex_;
  std::optional<std::string> mark_;  // of the table below
  std::shared_ptr<const NodeTable> table_;
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

// A ground's ReadRegistryKey over its tree, below HKEY_LOCAL_MACHINE in ControlSet001
// (which CurrentControlSet names): each node's Enum key with its properties, its
// hardware key, its driver key under Control\Class, and the keys on the way to them.
std::optional<RegistryKeyData> ReadTreeKey(DeviceTree& tree, HKEY root, std::u16string_view path);

// A text as a REG_SZ value: UTF-16 with its terminator.
std::vector<BYTE> RegSz(std::u16string_view text);

// The registry path of a node's driver key (SPDRP_DRIVER), or empty when it has none.
std::u16string DriverKey(const DevNode& node);

// The configuration manager's number for an instance ID: the same ID always gets the
// same number in a process, and numbers are never reused.
DEVINST DevInstOf(const std::u16string& instance_id);

}  // namespace qzplatform::hidshared

#endif  // !_WIN32
