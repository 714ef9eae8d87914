// Classifying a report descriptor by the usages of its top-level collections.
#include "device_class.h"

#include "hidparse/hidparse.h"

namespace qzplatform::linux_ground {

DeviceClass ClassifyDescriptor(const std::vector<std::uint8_t>& descriptor) {
  DeviceClass c;
  const hidparse::ParseResult parsed = hidparse::Parse(descriptor);
  if (!parsed.ok()) return c;
  c.parsed = true;
  for (const auto& collection : parsed.collections) {
    const USHORT page = collection->caps.UsagePage, usage = collection->caps.Usage;
    if (page >= 0xFF00) c.vendor = true;
    if (page == 0x01 && (usage == 0x06 || usage == 0x07)) c.keyboard = true;
    if (page == 0x01 && (usage == 0x01 || usage == 0x02)) c.mouse = true;
  }
  return c;
}

std::string UdevProperties(const DeviceClass& c) {
  std::string text;
  if (!c.parsed) return "QZ_HID_UNPARSED=1\n";
  if (c.vendor) text += "QZ_HID_VENDOR=1\n";
  if (c.keyboard) text += "QZ_HID_KEYBOARD=1\n";
  if (c.mouse) text += "QZ_HID_MOUSE=1\n";
  return text;
}

}  // namespace qzplatform::linux_ground
