// What kind of device a report descriptor describes, for the udev rule that decides
// who may open a hidraw node: a node that reads keyboards or mice must stay private.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qzplatform::linux_ground {

struct DeviceClass {
  bool parsed = false;
  bool vendor = false;    // a top-level collection on a vendor-defined page (FF00-FFFF)
  bool keyboard = false;  // a keyboard or keypad collection
  bool mouse = false;     // a mouse or pointer collection
};

DeviceClass ClassifyDescriptor(const std::vector<std::uint8_t>& descriptor);
// The udev properties for IMPORT{program}: QZ_HID_VENDOR=1 and the like, one a line.
std::string UdevProperties(const DeviceClass& c);

}  // namespace qzplatform::linux_ground
