// The simulated machine: HID devices described in data, each top-level collection a
// device interface of its own, scripted by tests and driven by one machine thread.
#pragma once

#ifndef _WIN32

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>
#include <thread>
#include <vector>

#include "qzplatform/ground.h"
#include "qzplatform/hid.h"
#include "qzplatform/sim/device_description.h"

namespace qzplatform::sim {

class MachineState;

// One device interface (top-level collection) as enumeration sees it.
struct InterfaceInfo {
  std::size_t device = 0;
  std::size_t collection = 0;
  std::string device_name;
  std::u16string path;         // \\?\hid#vid_xxxx&pid_xxxx[&colNN]#...#{hid interface guid}
  std::u16string instance_id;  // HID\VID_XXXX&PID_XXXX[&COLNN]\...
  USHORT vendor_id = 0, product_id = 0, version = 0;
  GUID class_guid{};
  std::u16string description, manufacturer, service, driver;
  HIDP_CAPS caps{};
  bool present = true;  // false while the device is unplugged
  // The class installer's state of the collection's HID node and of its device's node.
  bool enabled = true;
  bool removed = false;
  bool device_enabled = true;
  bool device_removed = false;
};

// A property change the class installer carried out (DIF_PROPERTYCHANGE).
struct PropertyChange {
  std::u16string instance_id;
  DWORD state = 0;      // DICS_ENABLE 1, DICS_DISABLE 2, DICS_PROPCHANGE 3, ...
  DWORD scope = 0;      // DICS_FLAG_GLOBAL 1 or DICS_FLAG_CONFIGSPECIFIC 2
  bool helper = false;  // asked for by a program sharing the machine (the device helper)
};

// Device files are refused beyond this size (a list of hundreds of devices is a few
// hundred KiB); reading stops there, so a device such as /dev/zero cannot exhaust memory.
inline constexpr std::size_t kMaxDeviceFileBytes = std::size_t{16} << 20;

class Machine {
 public:
  // Each throws LoadError naming the device index and field of the first fault.
  static std::shared_ptr<Machine> Create(std::vector<DeviceDescription> devices);
  static std::shared_ptr<Machine> LoadJson(std::string_view json_text);
  static std::shared_ptr<Machine> LoadFile(const std::filesystem::path& path);
  // The built-in set: a mouse, a keyboard, a vendor-defined echo device, and a
  // device in exclusive use.
  static std::shared_ptr<Machine> Default();

  // Stops the machine thread; open handles then act as on an unplugged device.
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  std::size_t DeviceCount() const;
  // The index of the device with that name; throws std::out_of_range when none.
  std::size_t FindDevice(std::string_view name) const;
  // The device as loaded (GetBehaviour gives its flags now).
  const DeviceDescription& Description(std::size_t device) const;
  std::size_t CollectionCount(std::size_t device) const;
  std::u16string InterfacePath(std::size_t device, std::size_t collection = 0) const;
  // Every interface; with `present_only` those of plugged-in devices.
  std::vector<InterfaceInfo> Interfaces(bool present_only = true) const;
  // Counts the plugs, unplugs and node changes: while it stays the same, so does what
  // Interfaces returns.
  std::uint64_t ChangeCount() const;

  // The device sends an input report (report ID byte first, 0 without report IDs).
  // It reaches the collection that declares that input report ID, padded to its
  // input report length. False when no collection declares it, it is too long, or
  // the device is unplugged. Throws std::out_of_range for a bad device index.
  bool PushInput(std::size_t device, std::vector<std::uint8_t> report);
  // The device sends `count` copies of `report` as fast as they are read: every handle
  // reading that collection now completes its reads with them at once, after the
  // reports already queued, without the 32-report queue and its wait. A throughput
  // source for benchmarks; false as for PushInput.
  bool StreamInput(std::size_t device, std::vector<std::uint8_t> report, std::uint64_t count);
  // Output reports the device received (by WriteFile or HidD_SetOutputReport), oldest
  // first; the machine keeps the last 256.
  std::vector<std::vector<std::uint8_t>> TakeOutputReports(std::size_t device);
  // The feature report the device holds for that report ID (empty when none declared).
  std::vector<std::uint8_t> FeatureReport(std::size_t device, std::uint8_t report_id) const;

  // Unplugging fails pending and later transfers of open handles with
  // ERROR_DEVICE_NOT_CONNECTED; replugging does not revive those handles.
  void Unplug(std::size_t device);
  void Replug(std::size_t device);
  Behaviour GetBehaviour(std::size_t device) const;
  void SetBehaviour(std::size_t device, const Behaviour& behaviour);

  // The class installer's changes of device nodes: a device's USB node (collection
  // kDeviceNode, all its collections) or one collection's HID node. A collection has
  // its device interface only while its device is plugged in and neither node is
  // disabled or removed; without it opens fail with ERROR_FILE_NOT_FOUND, and a stop
  // (disable, removal, restart) fails the transfers of open handles with
  // ERROR_DEVICE_NOT_CONNECTED for good. Replugging brings removed nodes back.
  // Throws std::out_of_range for a bad index.
  static constexpr std::size_t kDeviceNode = static_cast<std::size_t>(-1);
  enum class NodeChange { kEnable, kDisable, kRestart, kRemove, kUnremove };
  void ChangeNode(std::size_t device, std::size_t collection, NodeChange change);
  bool NodeEnabled(std::size_t device, std::size_t collection) const;
  bool NodeRemoved(std::size_t device, std::size_t collection) const;

  // The program as the class installer sees it: a 32-bit process on 64-bit Windows is
  // refused property changes and removals with ERROR_IN_WOW64 (programs it starts that
  // share the machine are not), one without administrator rights with
  // ERROR_ACCESS_DENIED. By default: 64-bit, with those rights.
  void SetWow64(bool wow64);
  bool Wow64() const;
  void SetElevated(bool elevated);
  bool Elevated() const;
  // Property changes carried out, oldest first.
  void RecordPropertyChange(PropertyChange change);
  std::vector<PropertyChange> TakePropertyChanges();

  // The folder GetTempPathW reports; empty (the default): the environment's.
  void SetTempFolder(std::u16string folder);
  std::u16string TempFolder() const;

  // GetVersionExW's record (a Windows 7 SP1 workstation unless set).
  void SetVersion(const OSVERSIONINFOEXW& version);
  // GetLocalTime: the real clock, or a fixed time once set.
  void SetLocalTime(const SYSTEMTIME& time);
  void UseRealClock();

  // Ground queries.
  bool GetVersion(OSVERSIONINFOEXW* info) const;
  void GetLocalTime(SYSTEMTIME* time) const;
  std::shared_ptr<FileObject> OpenDevice(std::u16string_view path, DWORD access, DWORD share,
                                         DWORD flags, bool* is_device, DWORD* error);

 private:
  explicit Machine(std::shared_ptr<MachineState> state);
  void RunScripts();

  std::shared_ptr<MachineState> state_;
  std::thread script_thread_;
};

}  // namespace qzplatform::sim

#endif  // !_WIN32
