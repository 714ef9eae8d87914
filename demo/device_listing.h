// The text listing of HID devices that `hid-demo --list` prints: identity and
// capability summary of each device interface.
#pragma once

#include <string>
#include <vector>

#include "qzhid/hid_device.h"

namespace demo {

// One device's block of lines; `index` is its place in the list.
std::u16string DescribeDevice(int index, const qz::TqzHidDevice& device);

// The whole listing, with a heading naming the machine ("simulated machine", ...).
std::u16string ListDevices(const std::u16string& machine,
                           const std::vector<const qz::TqzHidDevice*>& devices);

// The listing of every HID device interface a HID component discovers on the installed
// ground, with the strings each device gives.
std::u16string ListDiscoveredDevices(const std::u16string& machine);

}  // namespace demo
