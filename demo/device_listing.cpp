// Formats the device listing: decimal first and hexadecimal after, as in 272 [0110h].
#include "device_listing.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "qzclasses/format.h"
#include "qzclasses/text.h"
#include "qzhid/hid.h"

namespace demo {
namespace {

std::u16string DecHex16(unsigned value) { return qz::Format(u"%u [%.4xh]", {value, value}); }

std::u16string Row(const std::u16string& name, const std::u16string& value) {
  std::u16string line = u"    " + name;
  line.resize(4 + 20, u' ');
  return line + value + u"\n";
}

}  // namespace

std::u16string DescribeDevice(int index, const qz::TqzHidDevice& d) {
  std::u16string out = qz::Format(u"[%d] %s\n", {index, d.NameFriendly});
  out += Row(u"path", d.NameSymbolic);
  if (!d.InstanceId.empty()) out += Row(u"instance ID", d.InstanceId);
  out += Row(u"vendor ID", DecHex16(d.VendorId()));
  out += Row(u"product ID", DecHex16(d.ProductId()));
  out += Row(u"version", DecHex16(d.Version()));
  if (!d.Manufacturer.empty()) out += Row(u"manufacturer", d.Manufacturer);
  if (!d.SerialNumber.empty()) out += Row(u"serial number", d.SerialNumber);
  out += Row(u"usage page", DecHex16(d.UsagePage()) + u" " + qz::GetUsagePageName(d.UsagePage()));
  out += Row(u"usage", DecHex16(d.Usage()));
  out += Row(u"report lengths",
             qz::Format(u"input %u, output %u, feature %u",
                        {d.InputReportLength(), d.OutputReportLength(), d.FeatureReportLength()}));
  out += Row(u"buttons / values",
             qz::Format(u"input %u/%u, output %u/%u, feature %u/%u",
                        {d.InputButtonsCount(), d.InputValuesCount(), d.OutputButtonsCount(),
                         d.OutputValuesCount(), d.FeatureButtonsCount(), d.FeatureValuesCount()}));
  return out;
}

std::u16string ListDevices(const std::u16string& machine,
                           const std::vector<const qz::TqzHidDevice*>& devices) {
  std::u16string out =
      qz::Format(u"HID devices on the %s: %d\n", {machine, static_cast<int>(devices.size())});
  for (std::size_t i = 0; i < devices.size(); ++i)
    out += u"\n" + DescribeDevice(static_cast<int>(i), *devices[i]);
  return out;
}

std::u16string ListDiscoveredDevices(const std::u16string& machine) {
  qz::TqzHid hid(nullptr);
  hid.SetEnumFullMode(true);
  hid.DeviceListLoad();
  std::vector<const qz::TqzHidDevice*> devices;
  for (std::int32_t i = 0; i < hid.GetDeviceCount(); ++i) {
    if (const auto* d = dynamic_cast<const qz::TqzHidDevice*>(hid.GetDevice(i))) devices.push_back(d);
  }
  return ListDevices(machine, devices);
}

int PrintDiscoveredDevices(const std::u16string& machine) {
  const std::string listing = qz::TextToUtf8(ListDiscoveredDevices(machine));
  errno = 0;
  if (std::fputs(listing.c_str(), stdout) >= 0 && std::fflush(stdout) == 0) return 0;
  const int error = errno;
  std::fprintf(stderr, "hid-demo: cannot write the listing%s%s\n", error ? ": " : "",
               error ? std::strerror(error) : "");
  return 1;
}

}  // namespace demo
