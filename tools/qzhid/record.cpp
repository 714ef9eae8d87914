// `record`: a device's identity, report descriptor and input reports in the text format
// of the hid-tools recorder (N:, P:, I:, R:, then one E: line per report), which its
// tools and `qzhid replay` read back.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "qzclasses/text.h"
#include "report_bytes.h"
#include "session.h"

namespace qzhid {
namespace {

// Whether the device's input reports carry a report ID byte (hidraw hands it over only
// then; the HID component always gives one, 0 when the device has none).
bool NumberedInput(const qz::TqzHidDevice& d) {
  for (const auto& caps : d.fCapsInputButtons)
    if (caps.ReportID != 0) return true;
  for (const auto& caps : d.fCapsInputValues)
    if (caps.ReportID != 0) return true;
  return false;
}

// "000001.250000": seconds and microseconds, as the recorder writes them.
std::string Stamp(std::chrono::microseconds time) {
  char text[40];
  std::snprintf(text, sizeof text, "%06lld.%06lld", static_cast<long long>(time.count() / 1000000),
                static_cast<long long>(time.count() % 1000000));
  return text;
}

std::string Header(const qz::TqzHidDevice& d, const std::vector<std::uint8_t>& descriptor) {
  char ids[32];
  // The component does not know the bus; the recording says USB (3), the usual one.
  std::snprintf(ids, sizeof ids, "I: 3 %04x %04x\n", d.VendorId(), d.ProductId());
  return "# recorded by qzhid\nN: " + qz::TextToUtf8(d.NameFriendly) + "\nP: " +
         qz::TextToUtf8(d.NameSymbolic) + "\n" + ids + "R: " + std::to_string(descriptor.size()) +
         " " + HexBytes(descriptor) + "\n";
}

}  // namespace

void RecordCommand(Session& s) {
  const std::string& path = s.inv.args[1];
  const std::int32_t index = s.devices.Select(s.inv.args[0]);
  const qz::TqzHidDevice& d = s.devices.At(index);
  s.devices.Open(index);
  // Before the file is made: a device that cannot be read leaves no empty recording.
  if (!s.devices.Hid().IsReadMode())
    throw Failure("the device refuses reading: " + s.devices.WhyNoAccess(true));
  const std::vector<std::uint8_t> descriptor = ReportDescriptor(s.devices.Hid().Handle());
  s.devices.Hid().SetActive(false);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) throw Failure("cannot write " + path + ": " + std::strerror(errno));
  file << Header(d, descriptor);
  const bool numbered = NumberedInput(d);
  std::size_t events = 0;
  ReadReports(s, index, [&](std::chrono::microseconds time, const std::vector<std::uint8_t>& report) {
    const std::vector<std::uint8_t> bytes(report.begin() + (numbered ? 0 : 1), report.end());
    file << "E: " << Stamp(time) << " " << bytes.size() << " " << HexBytes(bytes) << "\n";
    file.flush();
    ++events;
  });
  file.close();
  if (!file) throw Failure("cannot write " + path + ": " + std::strerror(errno));
  s.err << "qzhid: recorded " << events << " input reports to " << path << "\n";
}

}  // namespace qzhid
