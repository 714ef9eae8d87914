// The device tree of the linux ground, read from sysfs: one device node per
// top-level collection of every HID device (bound or not), below its USB device
// when it has one; state changes through driver binding and USB authorisation.
#pragma once

#include <map>
#include <mutex>

#include "qzplatform/hidshared/device_tree.h"
#include "sysfs_hid_device.h"

namespace qzplatform::linux_ground {

// HID\VID_1209&PID_0001[&COL02]\0003:1209:0001.0004
std::u16string CollectionInstanceId(const SysfsHidDevice& device, std::size_t collection);

class LinuxDeviceTree : public hidshared::DeviceTree {
 public:
  explicit LinuxDeviceTree(Roots roots);
  ~LinuxDeviceTree() override;
  LinuxDeviceTree(const LinuxDeviceTree&) = delete;
  LinuxDeviceTree& operator=(const LinuxDeviceTree&) = delete;
  std::vector<hidshared::DevNode> Snapshot() override;
  // The kernel's count of device events: one read of a file kept open. A tree without
  // that count (a fabricated one) gives what its HID device and hidraw listings hold.
  std::optional<std::string> StateMark() override;
  DWORD ChangeState(const hidshared::DevNode& node, DWORD state_change, DWORD scope) override;
  DWORD Remove(const hidshared::DevNode& node) override;
  DWORD Unremove(const hidshared::DevNode& node) override;
  // Hidraw node `number` as the last snapshot read it, while the machine is unchanged
  // since; else null, and the caller reads it from sysfs.
  std::shared_ptr<const SysfsHidDevice> DeviceFromSnapshot(unsigned hidraw_number);

 private:
  // The HID device a node names (its instance ID ends in the HID device's name).
  std::shared_ptr<SysfsHidDevice> DeviceOf(const hidshared::DevNode& node, DWORD* error);
  std::string UsbDirOf(const hidshared::DevNode& node);

  std::string ListingMark() const;

  const Roots roots_;
  const int event_count_fd_;  // <sysfs>/kernel/uevent_seqnum; -1 without one
  std::mutex mutex_;
  std::map<std::string, std::string> drivers_;    // HID device name -> driver it had
  // HID device name -> its report descriptor, seen while bound: an unbound device keeps
  // its collections (and so its device nodes) from the last time it was seen.
  std::map<std::string, std::vector<std::uint8_t>> descriptors_;
  std::map<std::u16string, std::string> usb_dirs_;  // instance ID -> its USB device
  // The bound devices of the last snapshot whose descriptor it read, by hidraw number.
  std::map<unsigned, std::shared_ptr<const SysfsHidDevice>> snapshot_devices_;
};

}  // namespace qzplatform::linux_ground
