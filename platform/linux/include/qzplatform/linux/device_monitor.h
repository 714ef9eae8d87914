// Device changes on the linux ground: a libudev monitor that turns hidraw arrivals and
// removals into the device-change window message an owner forwards to its components.
#pragma once

#ifndef _WIN32

#include <memory>
#include <string>
#include <vector>

#include "qzplatform/win32.h"

namespace qzplatform::linux_ground {

// DBT_DEVNODES_CHANGED: the message Windows broadcasts when a device node comes or goes.
inline constexpr WPARAM kDevNodesChanged = 0x0007;

struct DeviceChange {
  // The window message: WM_DEVICECHANGE with DBT_DEVNODES_CHANGED and no record, as
  // Windows sends every top-level window when a device node is added or removed.
  UINT message = WM_DEVICECHANGE;
  WPARAM wparam = kDevNodesChanged;
  LPARAM lparam = 0;
  // What happened, for logs: arrival or removal, and the node (e.g. /dev/hidraw3).
  bool arrival = false;
  std::string node;
};

class DeviceMonitor {
 public:
  // Starts watching. Listens to udev's events when udev runs (nodes then have their
  // permissions when the event arrives), else to the kernel's.
  DeviceMonitor();
  ~DeviceMonitor();
  DeviceMonitor(const DeviceMonitor&) = delete;
  DeviceMonitor& operator=(const DeviceMonitor&) = delete;

  // False when no monitor could be set up; error() says why.
  bool valid() const;
  const std::string& error() const { return error_; }
  // A descriptor that polls readable while changes are pending (-1 when not valid);
  // an owner watches it (poll(), a toolkit's socket notifier) and then calls TakeChanges.
  int Descriptor() const;
  // The changes pending now, oldest first; never blocks.
  std::vector<DeviceChange> TakeChanges();

 private:
  struct Udev;
  std::unique_ptr<Udev> udev_;
  std::string error_;
};

}  // namespace qzplatform::linux_ground

#endif  // !_WIN32
