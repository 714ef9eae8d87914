// What sysfs tells of a hidraw node: the HID device behind it (identity, names,
// bound driver, report descriptor) and, where there is one, its USB device.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "qzplatform/hidshared/report_routing.h"
#include "qzplatform/linux/linux_ground.h"

namespace qzplatform::linux_ground {

// The USB device a HID device hangs off.
struct UsbDevice {
  std::string dir;  // e.g. <sys>/devices/pci0000:00/0000:00:04.0/usb1/1-1
  std::optional<std::string> manufacturer, product, serial;
  USHORT bcd_device = 0;
  // String indexes of the device descriptor (0: none).
  std::uint8_t i_manufacturer = 0, i_product = 0, i_serial = 0;
};

// A HID device and, while a driver is bound to it, its hidraw node.
struct SysfsHidDevice {
  bool has_node = false;  // the fields up to class_dir are set only when true
  unsigned number = 0;
  std::string dev_path;   // <dev>/hidrawN
  std::string class_dir;  // <sys>/class/hidraw/hidrawN
  std::string hid_dir;    // the HID device's directory, symbolic links resolved
  std::string hid_id;     // its name, BBBB:VVVV:PPPP.NNNN
  USHORT bus = 0, vendor = 0, product = 0, version = 0;
  std::string name, phys, uniq;  // HID_NAME, HID_PHYS, HID_UNIQ of its uevent
  std::string driver;            // the bound driver; empty when none is bound
  std::optional<UsbDevice> usb;
  std::vector<std::uint8_t> descriptor;
  hidshared::Collections collections;
  bool numbered = false;  // the device's reports carry their ID byte
};

// The N of every hidrawN in <sys>/class/hidraw, ascending.
std::vector<unsigned> ListNodeNumbers(const Roots& roots);
// Reads one node from sysfs. Null with *error set when it is missing
// (ERROR_FILE_NOT_FOUND) or its report descriptor is unusable (ERROR_INVALID_DATA);
// `why` then says what was wrong.
std::shared_ptr<SysfsHidDevice> ReadNode(const Roots& roots, unsigned number, DWORD* error,
                                     std::string* why = nullptr);
// Reads a HID device from its sysfs directory (any of its paths), with its hidraw node
// when it has one. Null and *error as ReadNode. With `need_descriptor` false a device
// whose descriptor sysfs does not give is still read, without collections: the kernel
// drops the descriptor of a device while no driver is bound to it.
std::shared_ptr<SysfsHidDevice> ReadHidDevice(const Roots& roots, const std::string& dir, DWORD* error,
                                          std::string* why = nullptr, bool need_descriptor = true);
// The directories of every HID device (<sys>/bus/hid/devices), sorted by name.
std::vector<std::string> ListHidDevices(const Roots& roots);
// Takes a report descriptor and its collections; false (and `why`) when it does not parse.
bool SetDescriptor(SysfsHidDevice& node, std::vector<std::uint8_t> descriptor, std::string* why);

// `path` with every symbolic link resolved; empty when it does not exist.
std::string ResolvedPath(const std::string& path);
// A sysfs attribute without its trailing line break; none when it cannot be read.
std::optional<std::string> ReadAttribute(const std::string& path);
// KEY=value lines of a uevent file.
std::map<std::string, std::string> ReadUevent(const std::string& dir);
// The name a "driver" link in `dir` points to; empty when there is none.
std::string BoundDriver(const std::string& dir);

}  // namespace qzplatform::linux_ground
