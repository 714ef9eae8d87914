// Global items: they set state that lasts until changed, across main items and
// top-level collections; Push and Pop save and restore all of it.
#include <string>

#include "parser_state.h"

namespace hidparse::detail {

namespace {

enum GlobalTag : std::uint8_t {
  kUsagePage = 0x0,
  kLogicalMinimum = 0x1,
  kLogicalMaximum = 0x2,
  kPhysicalMinimum = 0x3,
  kPhysicalMaximum = 0x4,
  kUnitExponent = 0x5,
  kUnit = 0x6,
  kReportSize = 0x7,
  kReportId = 0x8,
  kReportCount = 0x9,
  kPush = 0xA,
  kPop = 0xB,
};

}  // namespace

bool ApplyGlobalItem(const Item& item, GlobalStack& globals, std::string& error) {
  GlobalState& g = globals.current;
  switch (item.tag) {
    case kUsagePage:
      // A usage page is 16 bits; a wider item keeps its low word, as usages do.
      g.usage_page = static_cast<std::uint16_t>(UnsignedValue(item));
      return true;
    // Extents are signed in the item's own width: a one-byte 0xFF is -1.
    case kLogicalMinimum: g.logical_min = SignedValue(item); return true;
    case kLogicalMaximum: g.logical_max = SignedValue(item); return true;
    case kPhysicalMinimum: g.physical_min = SignedValue(item); return true;
    case kPhysicalMaximum: g.physical_max = SignedValue(item); return true;
    case kUnitExponent:
      // Windows reports the exponent sign-extended from the item (UnitsExp is a
      // ULONG), not decoded from the 4-bit form the HID tables describe.
      g.unit_exponent = static_cast<std::uint32_t>(SignedValue(item));
      return true;
    case kUnit: g.unit = UnsignedValue(item); return true;
    case kReportSize:
      if (UnsignedValue(item) > kMaxReportSize) {
        error = "Report Size " + std::to_string(UnsignedValue(item)) + " exceeds " +
                std::to_string(kMaxReportSize) + " bits";
        return false;
      }
      g.report_size = UnsignedValue(item);
      return true;
    case kReportId:
      if (UnsignedValue(item) == 0) {
        error = "Report ID 0 is reserved";
        return false;
      }
      if (UnsignedValue(item) > 0xFF) {
        error = "Report ID " + std::to_string(UnsignedValue(item)) + " does not fit in a byte";
        return false;
      }
      g.report_id = static_cast<std::uint8_t>(UnsignedValue(item));
      return true;
    case kReportCount:
      if (UnsignedValue(item) > kMaxReportCount) {
        error = "Report Count " + std::to_string(UnsignedValue(item)) + " exceeds " +
                std::to_string(kMaxReportCount);
        return false;
      }
      g.report_count = UnsignedValue(item);
      return true;
    case kPush:
      if (globals.pushed.size() >= kMaxPushDepth) {
        error = "Push nested deeper than " + std::to_string(kMaxPushDepth);
        return false;
      }
      globals.pushed.push_back(g);
      return true;
    case kPop:
      if (globals.pushed.empty()) {
        error = "Pop without a matching Push";
        return false;
      }
      g = globals.pushed.back();
      globals.pushed.pop_back();
      return true;
    default:
      error = "unknown global item tag " + std::to_string(item.tag);
      return false;
  }
}

}  // namespace hidparse::detail
