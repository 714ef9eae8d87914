// The libudev monitor behind DeviceMonitor.
#include "qzplatform/linux/device_monitor.h"

#include <cstring>
#include <libudev.h>
#include <unistd.h>

namespace qzplatform::linux_ground {

struct DeviceMonitor::Udev {
  udev* context = nullptr;
  udev_monitor* monitor = nullptr;
  ~Udev() {
    if (monitor) udev_monitor_unref(monitor);
    if (context) udev_unref(context);
  }
};

DeviceMonitor::DeviceMonitor() : udev_(std::make_unique<Udev>()) {
  udev_->context = udev_new();
  if (!udev_->context) {
    error_ = "udev_new failed";
    return;
  }
  // Without a running udev (a bare system, a test machine) only the kernel's events come.
  const char* source = ::access("/run/udev/control", F_OK) == 0 ? "udev" : "kernel";
  udev_->monitor = udev_monitor_new_from_netlink(udev_->context, source);
  if (!udev_->monitor) {
    error_ = std::string("cannot listen to ") + source + " events";
    return;
  }
  if (udev_monitor_filter_add_match_subsystem_devtype(udev_->monitor, "hidraw", nullptr) < 0 ||
      udev_monitor_enable_receiving(udev_->monitor) < 0) {
    error_ = std::string("cannot receive ") + source + " events";
    udev_monitor_unref(udev_->monitor);
    udev_->monitor = nullptr;
  }
}

DeviceMonitor::~DeviceMonitor() = default;

bool DeviceMonitor::valid() const { return udev_->monitor != nullptr; }

int DeviceMonitor::Descriptor() const {
  return udev_->monitor ? udev_monitor_get_fd(udev_->monitor) : -1;
}

std::vector<DeviceChange> DeviceMonitor::TakeChanges() {
  std::vector<DeviceChange> changes;
  if (!udev_->monitor) return changes;
  // The monitor's socket does not block: receiving stops when nothing is pending.
  while (udev_device* device = udev_monitor_receive_device(udev_->monitor)) {
    const char* action = udev_device_get_action(device);
    const char* node = udev_device_get_devnode(device);
    const char* sysname = udev_device_get_sysname(device);
    if (action && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0)) {
      DeviceChange change;
      change.arrival = std::strcmp(action, "add") == 0;
      change.node = node ? node : std::string("/dev/") + (sysname ? sysname : "");
      changes.push_back(std::move(change));
    }
    udev_device_unref(device);
  }
  return changes;
}

}  // namespace qzplatform::linux_ground
