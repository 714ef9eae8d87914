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

// Writes that listing to standard output in UTF-8. Returns the exit status: 0 when it
// was written, 1 (with a message on standard error) when the output cannot take it, as
// on a full disk or a closed stream.
int PrintDiscoveredDevices(const std::u16string& machine);

}  // namespace demo
