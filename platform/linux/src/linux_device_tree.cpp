// Device nodes from sysfs, and device state changes through sysfs. Windows shows a
// HID device as one node per top-level collection below its bus device; so does this
// tree, with the kernel's names where Windows has its own (docs/linux-ground.md).
#include "linux_device_tree.h"

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

#include "device_path.h"
#include "driver_binding.h"
#include "qzplatform/ascii_text.h"
#include "qzplatform/hidshared/collection_kind.h"

namespace qzplatform::linux_ground {
namespace fs = std::filesystem;
namespace {

std::u16string Wide(const std::string& text) { return FromUtf8(text); }

// The sysfs path below the (resolved) sysfs root: the kernel's name of the physical device.
std::u16string KernelPath(const std::string& root, const std::string& dir) {
  return Wide(!root.empty() && dir.rfind(root, 0) == 0 ? dir.substr(root.size()) : dir);
}

std::u16string UsbInstanceId(const SysfsHidDevice& device) {
  const UsbDevice& usb = *device.usb;
  const std::string instance =
      usb.serial && !usb.serial->empty() ? *usb.serial : fs::path(usb.dir).filename().string();
  return Wide("USB\\VID_" + HexText(device.vendor, 4) + "&PID_" + HexText(device.product, 4) + "\\" +
              instance);
}

std::u16string HardwareKey(const std::u16string& instance_id) {
  return u"SYSTEM\\CurrentControlSet\\Enum\\" + instance_id + u"\\Device Parameters";
}

hidshared::DevNode UsbNode(const std::string& root, const SysfsHidDevice& device) {
  const UsbDevice& usb = *device.usb;
  hidshared::DevNode node;
  node.instance_id = UsbInstanceId(device);
  node.class_guid = hidshared::kUsbClassGuid;
  node.properties = {{SPDRP_DEVICEDESC, Wide(usb.product.value_or(""))},
                     {SPDRP_MFG, Wide(usb.manufacturer.value_or(""))},
                     {SPDRP_SERVICE, Wide(BoundDriver(usb.dir))},
                     {SPDRP_PHYSICAL_DEVICE_OBJECT_NAME, KernelPath(root, usb.dir)}};
  node.hardware_key = HardwareKey(node.instance_id);
  return node;
}

}  // namespace

std::u16string CollectionInstanceId(const SysfsHidDevice& device, std::size_t collection) {
  std::string id = "HID\\VID_" + HexText(device.vendor, 4) + "&PID_" + HexText(device.product, 4);
  if (device.collections.size() > 1)
    id += "&COL" + HexText(static_cast<unsigned>(collection + 1), 2);
  return Wide(id + "\\" + device.hid_id);
}

LinuxDeviceTree::LinuxDeviceTree(Roots roots)
    : roots_(std::move(roots)),
      event_count_fd_(
          ::open((roots_.sysfs + "/kernel/uevent_seqnum").c_str(), O_RDONLY | O_CLOEXEC)) {}

LinuxDeviceTree::~LinuxDeviceTree() {
  if (event_count_fd_ >= 0) ::close(event_count_fd_);
}

// The kernel counts every device event (add, remove, bind, unbind, change) once the
// listings of sysfs show it, so a count read before a snapshot that missed part of a
// change has moved by the next call. Other devices' events move it too, which only
// costs a snapshot.
std::optional<std::string> LinuxDeviceTree::StateMark() {
  char count[32];
  const ssize_t length =
      event_count_fd_ < 0 ? -1 : ::pread(event_count_fd_, count, sizeof count, 0);
  return length > 0 ? std::string(count, static_cast<std::size_t>(length)) : ListingMark();
}

// The names and inode numbers of the HID devices and hidraw nodes sysfs lists: a device
// that comes or goes, and a driver bound or unbound (which makes or ends the device's
// hidraw node, an entry with a new inode number each time), changes it.
std::string LinuxDeviceTree::ListingMark() const {
  std::string mark;
  for (const char* listing : {"/bus/hid/devices", "/class/hidraw"}) {
    DIR* dir = ::opendir((roots_.sysfs + listing).c_str());
    if (!dir) {
      mark += "-\n";
      continue;
    }
    while (const dirent* entry = ::readdir(dir))
      mark.append(entry->d_name).append(":").append(std::to_string(entry->d_ino)).append("\n");
    ::closedir(dir);
    mark += "\n";
  }
  return mark;
}

std::vector<hidshared::DevNode> LinuxDeviceTree::Snapshot() {
  std::vector<hidshared::DevNode> nodes;
  std::map<std::u16string, std::string> usb_dirs;
  std::map<unsigned, std::shared_ptr<const SysfsHidDevice>> known;
  const std::string root = ResolvedPath(roots_.sysfs);
  // Devices in hidraw node order, as the interfaces are listed; unbound ones last.
  std::vector<std::shared_ptr<SysfsHidDevice>> devices;
  for (const std::string& dir : ListHidDevices(roots_)) {
    DWORD error = 0;
    auto device = ReadHidDevice(roots_, dir, &error, nullptr, false);
    if (!device) continue;
    if (device->has_node && error == ERROR_SUCCESS) known[device->number] = device;
    std::lock_guard lock(mutex_);
    if (!device->driver.empty()) drivers_[device->hid_id] = device->driver;
    if (!device->collections.empty()) {
      descriptors_[device->hid_id] = device->descriptor;
    } else if (auto it = descriptors_.find(device->hid_id); it != descriptors_.end()) {
      SetDescriptor(*device, it->second, nullptr);
    }
    devices.push_back(std::move(device));
  }
  std::stable_sort(devices.begin(), devices.end(), [](const auto& a, const auto& b) {
    return (a->has_node ? a->number : ~0u) < (b->has_node ? b->number : ~0u);
  });
  for (const auto& device : devices) {
    std::u16string parent;
    if (device->usb) {
      parent = UsbInstanceId(*device);
      // The USB device's node comes once, before its first HID device's collections.
      if (!usb_dirs.contains(parent)) nodes.push_back(UsbNode(root, *device));
      usb_dirs[parent] = device->usb->dir;
    }
    // A device never seen with its descriptor shows as one node without collections.
    const std::size_t count = device->collections.size();
    for (std::size_t c = 0; c < std::max<std::size_t>(count, 1); ++c) {
      const HIDP_CAPS caps = count ? device->collections[c]->caps : HIDP_CAPS{};
      const hidshared::CollectionKind kind = hidshared::KindOf(caps.UsagePage, caps.Usage);
      hidshared::DevNode node;
      node.instance_id = CollectionInstanceId(*device, c);
      node.class_guid = kind.class_guid;
      // The driver key names the binding: it exists while the driver is bound, as a
      // Windows driver key exists while a driver is installed.
      std::u16string driver_key;
      if (!device->driver.empty()) {
        driver_key = Wide(device->driver + "\\" + device->hid_id);
        if (count > 1) driver_key += Wide("&COL" + HexText(static_cast<unsigned>(c + 1), 2));
      }
      node.properties = {
          {SPDRP_DEVICEDESC, device->name.empty() ? kind.description : Wide(device->name)},
          {SPDRP_MFG, device->usb ? Wide(device->usb->manufacturer.value_or("")) : u""},
          {SPDRP_SERVICE, Wide(device->driver)},
          {SPDRP_DRIVER, driver_key},
          {SPDRP_PHYSICAL_DEVICE_OBJECT_NAME, KernelPath(root, device->hid_dir)},
          {SPDRP_LOCATION_INFORMATION, Wide(device->phys)}};
      node.hardware_key = HardwareKey(node.instance_id);
      // An unbound device has no hidraw node: Windows' disabled device, no active interface.
      if (device->has_node && count)
        node.interfaces.push_back(
            {hidshared::kHidInterfaceGuid, FormatDevicePath(roots_.dev, device->number, c, count)});
      node.parent = parent;
      if (!parent.empty()) usb_dirs[node.instance_id] = device->usb->dir;
      nodes.push_back(std::move(node));
    }
  }
  std::lock_guard lock(mutex_);
  for (auto& [id, dir] : usb_dirs) usb_dirs_[id] = dir;
  snapshot_devices_ = std::move(known);
  return nodes;
}

std::shared_ptr<const SysfsHidDevice> LinuxDeviceTree::DeviceFromSnapshot(unsigned hidraw_number) {
  if (!Unchanged()) return nullptr;
  std::lock_guard lock(mutex_);
  const auto it = snapshot_devices_.find(hidraw_number);
  return it == snapshot_devices_.end() ? nullptr : it->second;
}

std::shared_ptr<SysfsHidDevice> LinuxDeviceTree::DeviceOf(const hidshared::DevNode& node,
                                                      DWORD* error) {
  const std::u16string& id = node.instance_id;
  const std::string name = ToUtf8(id.substr(id.rfind(u'\\') + 1));
  if (!id.starts_with(u"HID\\") || name.empty() || name.find('/') != std::string::npos) {
    *error = ERROR_NO_SUCH_DEVINST;
    return nullptr;
  }
  auto device =
      ReadHidDevice(roots_, roots_.sysfs + "/bus/hid/devices/" + name, error, nullptr, false);
  if (!device) *error = ERROR_NO_SUCH_DEVINST;
  return device;
}

// Binding acts on the whole HID device: disabling one collection disables its siblings
// too, as Linux binds one driver to all of them.
DWORD LinuxDeviceTree::ChangeState(const hidshared::DevNode& node, DWORD state_change, DWORD) {
  DWORD error = 0;
  auto device = DeviceOf(node, &error);
  if (!device) return error;
  std::string remembered;
  {
    std::lock_guard lock(mutex_);
    if (!device->driver.empty()) drivers_[device->hid_id] = device->driver;
    remembered = drivers_[device->hid_id];
  }
  switch (state_change) {
    case DICS_DISABLE:
    case DICS_STOP:
      return device->driver.empty() ? ERROR_SUCCESS
                                    : UnbindDriver(roots_, device->hid_id, device->driver);
    case DICS_ENABLE:
    case DICS_START:
      return device->driver.empty() ? BindDriver(roots_, device->hid_id, remembered)
                                    : ERROR_SUCCESS;
    case DICS_PROPCHANGE:
      if (!device->driver.empty())
        if (DWORD e = UnbindDriver(roots_, device->hid_id, device->driver)) return e;
      return BindDriver(roots_, device->hid_id, remembered);
    default: return ERROR_INVALID_PARAMETER;
  }
}

std::string LinuxDeviceTree::UsbDirOf(const hidshared::DevNode& node) {
  std::lock_guard lock(mutex_);
  auto it = usb_dirs_.find(node.instance_id);
  return it == usb_dirs_.end() ? std::string() : it->second;
}

// Removal is as far as the bus allows: a USB device can be deauthorised and authorised
// again; HID devices on other buses (Bluetooth, I2C, uhid) cannot be taken off their bus.
DWORD LinuxDeviceTree::Remove(const hidshared::DevNode& node) {
  const std::string usb = UsbDirOf(node);
  return usb.empty() ? ERROR_NOT_SUPPORTED : AuthorizeUsb(usb, false);
}

DWORD LinuxDeviceTree::Unremove(const hidshared::DevNode& node) {
  const std::string usb = UsbDirOf(node);
  return usb.empty() ? ERROR_NOT_SUPPORTED : AuthorizeUsb(usb, true);
}

}  // namespace qzplatform::linux_ground
