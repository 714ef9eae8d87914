// The device tree of the linux ground, read from sysfs: one device node per
// top-level collection of every HID device (bound or not), below its USB device
// when it has one; state changes through driver binding and USB authorisation.
#pragma once

#include <map>
#include <mutex>

#include "qzplatform/hidshared/device_tree.h"
#include "sysfs_node.h"

namespace qzplatform::linux_ground {

// HID\VID_1209&PID_0001[&COL02]\0003:1209:0001.0004
std::u16string CollectionInstanceId(const HidrawNode& device, std::size_t collection);

class LinuxDeviceTree : public hidshared::DeviceTree {
 public:
  explicit LinuxDeviceTree(Roots roots) : roots_(std::move(roots)) {}
  std::vector<hidshared::DevNode> Snapshot() override;
  // What the HID device and hidraw listings of sysfs hold: a few directory reads.
  std::optional<std::string> StateMark() override;
  DWORD ChangeState(const hidshared::DevNode& node, DWORD state_change, DWORD scope) override;
  DWORD Remove(const hidshared::DevNode& node) override;
  DWORD Unremove(const hidshared::DevNode& node) override;

 private:
  // The HID device a node names (its instance ID ends in the HID device's name).
  std::shared_ptr<HidrawNode> DeviceOf(const hidshared::DevNode& node, DWORD* error);
  std::string UsbDirOf(const hidshared::DevNode& node);

  const Roots roots_;
  std::mutex mutex_;
  std::map<std::string, std::string> drivers_;    // HID device name -> driver it had
  // HID device name -> its report descriptor, seen while bound: an unbound device keeps
  // its collections (and so its device nodes) from the last time it was seen.
  std::map<std::string, std::vector<std::uint8_t>> descriptors_;
  std::map<std::u16string, std::string> usb_dirs_;  // instance ID -> its USB device
};

}  // namespace qzplatform::linux_ground
