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
};

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

  // The device sends an input report (report ID byte first, 0 without report IDs).
  // It reaches the collection that declares that input report ID, padded to its
  // input report length. False when no collection declares it, it is too long, or
  // the device is unplugged. Throws std::out_of_range for a bad device index.
  bool PushInput(std::size_t device, std::vector<std::uint8_t> report);
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
