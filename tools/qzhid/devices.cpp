// The HID interfaces the HID component discovers, and finding the one a DEVICE argument
// names.
#include "devices.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "command_line.h"
#include "qzclasses/errors.h"
#include "qzclasses/text.h"
#include "qzhid/usage_names.h"
#include "qzplatform/ascii_text.h"
#include "qzsysutils/qzsysutils.h"
#include "qzusbids/usb_ids.h"

namespace qzhid {
namespace {

bool AllDigits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(),
                                      [](unsigned char c) { return std::isdigit(c) != 0; });
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts(1);
  for (const char c : text) {
    if (c == separator) parts.emplace_back();
    else parts.back() += c;
  }
  return parts;
}

DeviceFilter FilterFromText(const std::string& device) {
  const std::vector<std::string> parts = Split(device, ':');
  if (parts.size() != 2 && parts.size() != 4)
    throw UsageError("'" + device + "' is no device: use an index, VID:PID[:USAGEPAGE:USAGE] or a path");
  DeviceFilter filter;
  filter.vid = ParseHex16(parts[0], "vendor ID");
  filter.pid = ParseHex16(parts[1], "product ID");
  if (parts.size() == 4) {
    filter.usagePage = ParseHex16(parts[2], "usage page");
    filter.usage = ParseHex16(parts[3], "usage");
  }
  return filter;
}

}  // namespace

bool DeviceFilter::Matches(const qz::TqzHidDevice& d) const {
  return (!vid || *vid == d.VendorId()) && (!pid || *pid == d.ProductId()) &&
         (!usagePage || *usagePage == d.UsagePage()) && (!usage || *usage == d.Usage());
}

std::uint16_t ParseHex16(const std::string& text, const std::string& what) {
  std::string digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
    digits = digits.substr(2);
  const bool hex = !digits.empty() && digits.size() <= 4 &&
                   std::all_of(digits.begin(), digits.end(),
                               [](unsigned char c) { return std::isxdigit(c) != 0; });
  if (!hex) throw UsageError(what + " '" + text + "' is not a hex number from 0 to FFFF");
  return static_cast<std::uint16_t>(std::stoul(digits, nullptr, 16));
}

std::string SystemFailure(const std::string& call) {
  const DWORD code = GetLastError();
  return call + " failed: " + qz::TextToUtf8(qz::SysErrorMessage(code)) + " (error " +
         std::to_string(code) + ")";
}

std::string CollectionTag(const qz::TqzHidDevice& d) {
  const std::string id = qzplatform::LowerAsciiText(qz::TextToUtf8(d.InstanceId.empty() ? d.NameSymbolic : d.InstanceId));
  const std::size_t at = id.find("&col");
  return at == std::string::npos ? std::string() : "&col" + id.substr(at + 4, 2);
}

std::string VendorName(const qz::TqzHidDevice& d) {
  return d.Manufacturer.empty() ? qzusbids::UsbIds::System().Vendor(d.VendorId())
                                : qz::TextToUtf8(d.Manufacturer);
}

std::string ProductName(const qz::TqzHidDevice& d) {
  // Without a product string the component names the device by its description.
  const bool ownName = !d.NameFriendly.empty() && d.NameFriendly != d.Description;
  const std::string known = qzusbids::UsbIds::System().Product(d.VendorId(), d.ProductId());
  return ownName || known.empty() ? qz::TextToUtf8(d.NameFriendly) : known;
}

std::string UsageText(const qz::TqzHidDevice& d) {
  return qz::TextToUtf8(qz::HidUsagePageName(d.UsagePage())) + " / " +
         qz::TextToUtf8(qz::HidUsageName(d.UsagePage(), d.Usage()));
}

std::string ListLine(std::int32_t index, const qz::TqzHidDevice& d) {
  char ids[64];
  std::snprintf(ids, sizeof ids, "%d  %04x:%04x  usage %04x:%04x", index, d.VendorId(),
                d.ProductId(), d.UsagePage(), d.Usage());
  char lengths[96];
  std::snprintf(lengths, sizeof lengths, "  in %u out %u feature %u", d.InputReportLength(),
                d.OutputReportLength(), d.FeatureReportLength());
  std::string line = ids;
  line += " (" + UsageText(d) + ")";
  const std::string tag = CollectionTag(d);
  if (!tag.empty()) line += "  " + tag;
  line += lengths;
  for (const std::string& name : {VendorName(d), ProductName(d)})
    if (!name.empty()) line += "  " + name;
  return line;
}

Devices::Devices() {
  hid_.SetEnumFullMode(true);
  hid_.DeviceListLoad();
}

const qz::TqzHidDevice& Devices::At(std::int32_t index) const {
  return *dynamic_cast<const qz::TqzHidDevice*>(hid_.GetDevice(index));
}

std::int32_t Devices::Select(const std::string& device) const {
  if (AllDigits(device)) {
    const long index = device.size() > 6 ? -1 : std::stol(device);
    if (index < 0 || index >= Count())
      throw Failure("no HID device has index " + device + " (there are " + std::to_string(Count()) + ")");
    return static_cast<std::int32_t>(index);
  }
  std::vector<std::int32_t> found;
  const bool path = device.find(':') == std::string::npos || device.find('\\') != std::string::npos ||
                    device.find('/') != std::string::npos;
  const DeviceFilter filter = path ? DeviceFilter{} : FilterFromText(device);
  for (std::int32_t i = 0; i < Count(); ++i) {
    const bool match = path ? qzplatform::EqualAsciiNoCase(qz::TextToUtf8(At(i).NameSymbolic), device)
                            : filter.Matches(At(i));
    if (match) found.push_back(i);
  }
  if (found.size() == 1) return found[0];
  if (found.empty()) throw Failure("no HID device matches '" + device + "'");
  std::string message = "'" + device + "' matches " + std::to_string(found.size()) +
                        " HID devices; name one of them:";
  for (const std::int32_t i : found) message += "\n  " + ListLine(i, At(i));
  throw Failure(message);
}

void Devices::Open(std::int32_t index) {
  hid_.SetDeviceIndex(index);
  try {
    hid_.SetActive(true);
  } catch (const qz::Error& e) {
    throw Failure("cannot open the device: " + qz::TextToUtf8(e.Message()));
  }
}

}  // namespace qzhid

namespace qzhid {

std::string Devices::WhyNoAccess(bool read) {
  const HANDLE probe =
      hid_.OpenDeviceFile(hid_.HidDevice()->NameSymbolic, read, !read, true, false);
  if (probe == INVALID_HANDLE_VALUE) return SystemFailure(read ? "opening for reading" : "opening for writing");
  CloseHandle(probe);
  return "the system allowed it at a second try";
}

}  // namespace qzhid
