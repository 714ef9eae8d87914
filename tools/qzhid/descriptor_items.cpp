// A report descriptor item by item, over the parser's item reader: HID's names for the
// items, data as the item's signedness has it.
#include "descriptor_items.h"

#include "hidparse/item_reader.h"
#include "qzclasses/text.h"
#include "qzhid/usage_names.h"
#include "report_bytes.h"

namespace qzhid {
namespace {

using hidparse::detail::Item;
using hidparse::detail::ItemType;

const char* const kMainNames[16] = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr, "Input", "Output", "Collection",
                                    "Feature", "End Collection"};
const char* const kGlobalNames[16] = {"Usage Page",   "Logical Minimum",  "Logical Maximum",
                                      "Physical Minimum", "Physical Maximum", "Unit Exponent",
                                      "Unit",         "Report Size",      "Report ID",
                                      "Report Count", "Push",             "Pop"};
const char* const kLocalNames[16] = {"Usage",          "Usage Minimum",     "Usage Maximum",
                                     "Designator Index", "Designator Minimum",
                                     "Designator Maximum", nullptr,         "String Index",
                                     "String Minimum", "String Maximum",    "Delimiter"};
const char* const kCollectionKinds[] = {"Physical",    "Application", "Logical",       "Report",
                                        "Named Array", "Usage Switch", "Usage Modifier"};

const char* ItemName(const Item& item) {
  const char* const* table = item.type == ItemType::kMain     ? kMainNames
                             : item.type == ItemType::kGlobal ? kGlobalNames
                             : item.type == ItemType::kLocal  ? kLocalNames
                                                              : nullptr;
  const char* name = table ? table[item.tag & 15] : nullptr;
  return name ? name : item.type == ItemType::kLong ? "Long Item" : "Reserved";
}

// Input, Output and Feature flags in their usual short forms.
std::string MainFlags(std::uint32_t data) {
  std::string text = data & 1 ? "Cnst" : "Data";
  text += data & 2 ? ",Var" : ",Arr";
  text += data & 4 ? ",Rel" : ",Abs";
  if (data & 8) text += ",Wrap";
  if (data & 16) text += ",NLin";
  if (data & 32) text += ",NPrf";
  if (data & 64) text += ",Null";
  if (data & 256) text += ",Buf";
  return text;
}

// A usage item's number and name: a four-byte one carries its own page in the high half.
std::string UsageValue(const Item& item, std::uint16_t page) {
  const std::uint32_t u = hidparse::detail::UnsignedValue(item);
  const auto usagePage = item.size == 4 ? static_cast<std::uint16_t>(u >> 16) : page;
  const auto usage = static_cast<std::uint16_t>(u);
  return std::to_string(usage) + " " + qz::TextToUtf8(qz::HidUsageName(usagePage, usage));
}

std::string ItemValue(const Item& item, std::uint16_t page) {
  const std::uint32_t u = hidparse::detail::UnsignedValue(item);
  if (item.type == ItemType::kMain) {
    if (item.tag == 0xA) return u < 7 ? kCollectionKinds[u] : "Vendor " + std::to_string(u);
    if (item.tag == 0xC) return "";
    return MainFlags(u);
  }
  if (item.type == ItemType::kGlobal && item.tag == 0)
    return std::to_string(u) + " " +
           qz::TextToUtf8(qz::HidUsagePageName(static_cast<std::uint16_t>(u)));
  if (item.type == ItemType::kLocal && item.tag <= 2) return UsageValue(item, page);
  const bool isSigned = item.type == ItemType::kGlobal && item.tag >= 1 && item.tag <= 5;
  return isSigned ? std::to_string(hidparse::detail::SignedValue(item)) : std::to_string(u);
}

}  // namespace

std::string DescribeItems(const std::vector<std::uint8_t>& descriptor) {
  hidparse::detail::ItemReader reader(descriptor.data(), descriptor.size());
  std::string text;
  int depth = 0;
  std::uint16_t page = 0;  // the usage page in force, for usage names (Push/Pop aside)
  Item item;
  for (;;) {
    const auto status = reader.Next(&item);
    if (status == hidparse::detail::ReadStatus::kEnd) break;
    if (status == hidparse::detail::ReadStatus::kTruncated) {
      text += "(truncated item at offset " + std::to_string(item.offset) + ")\n";
      break;
    }
    const bool endCollection = item.type == ItemType::kMain && item.tag == 0xC;
    if (endCollection && depth > 0) --depth;
    std::string bytes = HexBytes(std::vector<std::uint8_t>(
        descriptor.begin() + static_cast<std::ptrdiff_t>(item.offset),
        descriptor.begin() + static_cast<std::ptrdiff_t>(item.offset + item.length)));
    bytes.resize(std::max<std::size_t>(bytes.size() + 2, 16), ' ');
    if (item.type == ItemType::kGlobal && item.tag == 0)
      page = static_cast<std::uint16_t>(hidparse::detail::UnsignedValue(item));
    const std::string value = ItemValue(item, page);
    text += bytes + std::string(static_cast<std::size_t>(depth) * 2, ' ') + ItemName(item) +
            (value.empty() ? "" : " (" + value + ")") + "\n";
    if (item.type == ItemType::kMain && item.tag == 0xA) ++depth;
  }
  return text;
}

}  // namespace qzhid
