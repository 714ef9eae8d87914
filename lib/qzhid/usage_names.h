// HID usage page and usage names from the usb.ids tables, as the component's text.
// (GetUsagePageName in hid_device.h is the information view's own short page name.)
#pragma once

#include <cstdint>

#include "qzclasses/text.h"

namespace qz {

// Never empty: numbers stand in for unknown pages and usages.
Text HidUsagePageName(std::uint16_t page);
Text HidUsageName(std::uint16_t page, std::uint16_t usage);

}  // namespace qz
