// The HID interfaces the HID component discovers, and finding the one a DEVICE argument
// names: an index, VID:PID[:USAGEPAGE:USAGE] in hex, or a device path.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "qzhid/hid.h"

namespace qzhid {

// Filters of `list`; an absent one lets every device through.
struct DeviceFilter {
  std::optional<std::uint16_t> vid, pid, usagePage, usage;
  bool Matches(const qz::TqzHidDevice& d) const;
};

class Devices {
 public:
  // Lists the interfaces with their strings (the HID component's full enumeration).
  Devices();
  qz::TqzHid& Hid() { return hid_; }
  std::int32_t Count() const { return hid_.GetDeviceCount(); }
  const qz::TqzHidDevice& At(std::int32_t index) const;
  // The index of the one interface `device` names. Throws UsageError for a malformed
  // device, Failure naming the candidates when none or several match.
  std::int32_t Select(const std::string& device) const;
  // Makes that interface current and opens it (read and write when it can, else less).
  // Throws Failure with the system's reason when it cannot be opened at all.
  void Open(std::int32_t index);
  // Why the open device refuses read (or write) access: the system's answer to an open
  // asking for just that.
  std::string WhyNoAccess(bool read);

 private:
  qz::TqzHid hid_{nullptr};
};

// A 16-bit number in hex, with or without 0x; throws UsageError naming `what`.
std::uint16_t ParseHex16(const std::string& text, const std::string& what);

// "<call> failed: <system text> (error N)" for the thread's last error.
std::string SystemFailure(const std::string& call);

// "&colNN" of a device interface of several top-level collections, else "".
std::string CollectionTag(const qz::TqzHidDevice& d);

// The maker and product: the device's strings, else usb.ids' names ("" when neither).
std::string VendorName(const qz::TqzHidDevice& d);
std::string ProductName(const qz::TqzHidDevice& d);
// "Generic Desktop / Mouse": the names of the top-level usage.
std::string UsageText(const qz::TqzHidDevice& d);

// One line of `list`, without its line break.
std::string ListLine(std::int32_t index, const qz::TqzHidDevice& d);

}  // namespace qzhid
