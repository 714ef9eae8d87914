// Reads the vendor, product and HID usage sections of a usb.ids file, and looks names up.
#include "qzusbids/usb_ids.h"

#include <cstdio>
#include <optional>

#include "qzplatform/ascii_text.h"

namespace qzusbids {
namespace {

// Which list the indented lines below a heading belong to.
enum class Section { kNone, kVendor, kUsagePage };

std::uint32_t Key(std::uint16_t high, std::uint16_t low) {
  return (static_cast<std::uint32_t>(high) << 16) | low;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// One "<hex id>  <name>" entry; the id has min_digits to 4 hex digits.
struct Entry {
  std::uint16_t id = 0;
  std::string_view name;
};

std::optional<Entry> ReadEntry(std::string_view text, std::size_t min_digits) {
  std::size_t digits = 0;
  unsigned value = 0;
  while (digits < text.size() && digits < 5) {
    const int digit = qzplatform::HexDigitValue(text[digits]);
    if (digit < 0) break;
    value = value * 16 + static_cast<unsigned>(digit);
    ++digits;
  }
  if (digits < min_digits || digits > 4 || digits == text.size() || !IsBlank(text[digits])) {
    return std::nullopt;
  }
  const std::string_view name = TrimBlanks(text.substr(digits));
  if (name.empty()) return std::nullopt;
  return Entry{static_cast<std::uint16_t>(value), name};
}

std::string Hex4(std::uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value));
  return text;
}

std::string Find(const std::unordered_map<std::uint32_t, std::string>& names, std::uint32_t key) {
  const auto found = names.find(key);
  return found == names.end() ? std::string() : found->second;
}

bool IsVendorPage(std::uint16_t page) { return page >= 0xFF00; }

}  // namespace

UsbIds UsbIds::Parse(std::string_view text) {
  UsbIds ids;
  Section section = Section::kNone;
  std::uint16_t owner = 0;  // the vendor or usage page of the indented lines that follow
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == '#') continue;

    if (line.front() != '\t') {
      // A heading: a vendor ("046d  Name"), a usage page ("HUT 07  Name") or another list.
      section = Section::kNone;
      if (const auto page = line.starts_with("HUT ") ? ReadEntry(line.substr(4), 1) : std::nullopt) {
        section = Section::kUsagePage;
        owner = page->id;
        ids.pages_.try_emplace(owner, page->name);
      } else if (const auto vendor = ReadEntry(line, 4)) {
        section = Section::kVendor;
        owner = vendor->id;
        ids.vendors_.try_emplace(owner, vendor->name);
      }
      continue;
    }
    if (line.size() > 1 && line[1] == '\t') continue;  // interfaces and the like: not kept
    if (section == Section::kVendor) {
      if (const auto product = ReadEntry(line.substr(1), 4)) {
        ids.products_.try_emplace(Key(owner, product->id), product->name);
      }
    } else if (section == Section::kUsagePage) {
      if (const auto usage = ReadEntry(line.substr(1), 1)) {
        ids.usages_.try_emplace(Key(owner, usage->id), usage->name);
      }
    }
  }
  return ids;
}

std::string UsbIds::Vendor(std::uint16_t vid) const { return Find(vendors_, vid); }

std::string UsbIds::Product(std::uint16_t vid, std::uint16_t pid) const {
  return Find(products_, Key(vid, pid));
}

std::string UsbIds::UsagePage(std::uint16_t page) const {
  std::string name = Find(pages_, page);
  if (!name.empty()) return name;
  return (IsVendorPage(page) ? "Vendor-defined " : "Unknown page ") + Hex4(page);
}

std::string UsbIds::Usage(std::uint16_t page, std::uint16_t usage) const {
  std::string name = Find(usages_, Key(page, usage));
  if (!name.empty()) return name;
  if (page == 0x09) return "Button " + std::to_string(usage);
  if (page == 0x0A) return "Instance " + std::to_string(usage);
  return (IsVendorPage(page) ? "Vendor-defined " : "Unknown ") + Hex4(page) + ":" + Hex4(usage);
}

}  // namespace qzusbids
