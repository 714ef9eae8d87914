// `descriptor`: the device's report descriptor from the ground's HID.DLL, which has it
// under qzLink's own entry; Windows' HID.DLL keeps descriptors to itself.
#include <nlohmann/json.hpp>

#include "descriptor_items.h"
#include "qzplatform/hid.h"
#include "report_bytes.h"
#include "session.h"

namespace qzhid {

std::vector<std::uint8_t> ReportDescriptor(HANDLE handle) {
  const HMODULE hid = LoadLibraryW(qzplatform::AsWide(qz::Text(u"HID.DLL")));
  if (!hid) throw Failure(SystemFailure("loading HID.DLL"));
  const auto get = reinterpret_cast<PFN_QzHidD_GetReportDescriptor>(
      reinterpret_cast<void*>(GetProcAddress(hid, kQzGetReportDescriptorEntry)));
  // The first call tells the length, the second fills a buffer of that length.
  ULONG length = 0;
  std::vector<std::uint8_t> descriptor;
  bool ok = get && (get(handle, nullptr, 0, &length) || GetLastError() == ERROR_INSUFFICIENT_BUFFER);
  if (ok) {
    descriptor.resize(length);
    ok = get(handle, descriptor.data(), length, &length) != FALSE;
  }
  const std::string failure = get && !ok ? SystemFailure("reading the report descriptor") : "";
  FreeLibrary(hid);
  if (!get)
    throw Failure("this system does not give report descriptors (its HID.DLL has no " +
                  std::string(kQzGetReportDescriptorEntry) + "); 'qzhid info' shows the caps");
  if (!ok) throw Failure(failure);
  return descriptor;
}

void DescriptorCommand(Session& s) {
  s.devices.Open(s.devices.Select(s.inv.args[0]));
  const std::vector<std::uint8_t> descriptor = ReportDescriptor(s.devices.Hid().Handle());
  if (s.inv.json) {
    nlohmann::ordered_json json{{"length", descriptor.size()}, {"bytes", HexBytes(descriptor)}};
    if (s.inv.Has("--items")) json["items"] = DescribeItems(descriptor);
    s.out << json.dump(2) << "\n";
  } else {
    s.out << (s.inv.Has("--items") ? DescribeItems(descriptor) : HexBytes(descriptor) + "\n");
  }
}

}  // namespace qzhid
