// Names of USB vendors and products and of HID usage pages and usages, read from a usb.ids file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace qzusbids {

// Names from a usb.ids file: USB vendors and products, HID usage pages and usages.
// Text is UTF-8, as the file holds it.
class UsbIds {
 public:
  // Reads the text of a usb.ids file. Lines it cannot read are skipped.
  static UsbIds Parse(std::string_view text);
  // The names every program uses: the file named by $QZ_USB_IDS, else the installed
  // /usr/share/misc/usb.ids (Debian's package usb.ids), else /var/lib/usbutils/usb.ids;
  // on Windows the copy built into the program. Empty (only fallback names) when none.
  // Loaded once, on first use, thread-safe.
  static const UsbIds& System();

  std::string Vendor(std::uint16_t vid) const;                       // "" when unknown
  std::string Product(std::uint16_t vid, std::uint16_t pid) const;  // "" when unknown
  // Unknown pages and usages get a name built from the numbers ("Button 3",
  // "Vendor-defined 0xFF00:0x0001", "Unknown page 0x1234"), never an empty one.
  std::string UsagePage(std::uint16_t page) const;
  std::string Usage(std::uint16_t page, std::uint16_t usage) const;

 private:
  // Vendors and pages are keyed by their number; products and usages by the vendor or
  // page number in the high half and their own number in the low half.
  using Names = std::unordered_map<std::uint32_t, std::string>;
  Names vendors_;
  Names products_;
  Names pages_;
  Names usages_;
};

}  // namespace qzusbids
