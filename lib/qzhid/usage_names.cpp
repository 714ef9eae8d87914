// Usage names through the system's usb.ids tables.
#include "qzhid/usage_names.h"

#include "qzusbids/usb_ids.h"

namespace qz {

Text HidUsagePageName(std::uint16_t page) {
  return TextFromUtf8(qzusbids::UsbIds::System().UsagePage(page));
}

Text HidUsageName(std::uint16_t page, std::uint16_t usage) {
  return TextFromUtf8(qzusbids::UsbIds::System().Usage(page, usage));
}

}  // namespace qz
