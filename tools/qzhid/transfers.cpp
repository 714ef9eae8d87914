// `write`, `get-feature`, `set-feature`, `get-input`: one report each way, checked against
// the device's report lengths and report IDs before anything is sent.
#include <set>

#include <nlohmann/json.hpp>

#include "qzclasses/text.h"
#include "report_bytes.h"
#include "session.h"

namespace qzhid {
namespace {

enum class Kind { kInput, kOutput, kFeature };

const char* KindName(Kind kind) {
  return kind == Kind::kInput ? "input" : kind == Kind::kOutput ? "output" : "feature";
}

std::uint32_t ReportLength(const qz::TqzHidDevice& d, Kind kind) {
  return kind == Kind::kInput    ? d.InputReportLength()
         : kind == Kind::kOutput ? d.OutputReportLength()
                                 : d.FeatureReportLength();
}

// The report IDs the capability tables give for that kind of report.
std::set<std::uint8_t> ReportIds(const qz::TqzHidDevice& d, Kind kind) {
  const auto& buttons = kind == Kind::kInput    ? d.fCapsInputButtons
                        : kind == Kind::kOutput ? d.fCapsOutputButtons
                                                : d.fCapsFeatureButtons;
  const auto& values = kind == Kind::kInput    ? d.fCapsInputValues
                       : kind == Kind::kOutput ? d.fCapsOutputValues
                                               : d.fCapsFeatureValues;
  std::set<std::uint8_t> ids;
  for (const auto& caps : buttons) ids.insert(caps.ReportID);
  for (const auto& caps : values) ids.insert(caps.ReportID);
  return ids;
}

std::string IdList(const std::set<std::uint8_t>& ids) {
  std::string text;
  for (const std::uint8_t id : ids) text += (text.empty() ? "" : ", ") + std::to_string(id);
  return text;
}

// Throws Failure when the device has no such report or no report of that ID.
void CheckReportId(const qz::TqzHidDevice& d, Kind kind, std::uint8_t id) {
  const std::string name = KindName(kind);
  if (ReportLength(d, kind) == 0) throw Failure("the device has no " + name + " report");
  const std::set<std::uint8_t> ids = ReportIds(d, kind);
  if (ids == std::set<std::uint8_t>{0}) {
    if (id != 0)
      throw Failure("the device uses no report IDs: the first byte (report ID) must be 0, not " +
                    std::to_string(id));
    return;
  }
  if (ids.count(id) == 0)
    throw Failure("report ID " + std::to_string(id) + " is no " + name +
                  " report of the device (its " + name + " report IDs: " + IdList(ids) + ")");
}

// The report to send: checked, and padded with zeros up to the report length when `pad`.
std::vector<std::uint8_t> CheckedReport(const qz::TqzHidDevice& d, Kind kind,
                                        std::vector<std::uint8_t> bytes, bool pad) {
  CheckReportId(d, kind, bytes[0]);
  const std::uint32_t length = ReportLength(d, kind);
  const std::string sizes = std::to_string(bytes.size()) + " bytes given; the " + KindName(kind) +
                            " report is " + std::to_string(length) + " bytes, report ID included";
  if (bytes.size() > length) throw Failure("too many report bytes: " + sizes);
  if (bytes.size() < length && !pad)
    throw Failure("too few report bytes: " + sizes + " (--pad fills it with zeros)");
  bytes.resize(length, 0);
  return bytes;
}

// Throws Failure naming the call and the system's reason.
void Check(bool ok, const std::string& call) {
  if (ok) return;
  throw Failure(SystemFailure(call));
}

void PrintReport(Session& s, const std::vector<std::uint8_t>& report) {
  if (s.inv.json) {
    s.out << nlohmann::ordered_json{{"report_id", report[0]}, {"bytes", HexBytes(report)}}.dump(2)
          << "\n";
  } else {
    s.out << HexBytes(report) << "\n";
  }
}

std::int32_t OpenSelected(Session& s) {
  const std::int32_t index = s.devices.Select(s.inv.args[0]);
  s.devices.Open(index);
  return index;
}

// Asks for the report of that ID with `get` (HidD_GetFeature or HidD_GetInputReport).
void GetReport(Session& s, Kind kind, const std::string& call,
               bool (qz::TqzHid::*get)(void*, std::uint32_t)) {
  const std::uint8_t id = ParseReportId(s.inv.args[1]);
  const std::int32_t index = s.devices.Select(s.inv.args[0]);
  const qz::TqzHidDevice& d = s.devices.At(index);
  CheckReportId(d, kind, id);
  s.devices.Open(index);
  std::vector<std::uint8_t> report(ReportLength(d, kind), 0);
  report[0] = id;
  Check((s.devices.Hid().*get)(report.data(), static_cast<std::uint32_t>(report.size())), call);
  PrintReport(s, report);
}

}  // namespace

void WriteCommand(Session& s) {
  const std::vector<std::uint8_t> bytes = ParseReportBytes(s.inv.args[1]);
  const std::int32_t index = s.devices.Select(s.inv.args[0]);
  const auto report = CheckedReport(s.devices.At(index), Kind::kOutput, bytes, s.inv.Has("--pad"));
  OpenSelected(s);
  qz::TqzHid& hid = s.devices.Hid();
  const auto size = static_cast<std::uint32_t>(report.size());
  if (s.inv.Has("--set-output")) {
    Check(hid.SetOutputReport(report.data(), size), "HidD_SetOutputReport");
  } else {
    if (!hid.IsWriteMode()) throw Failure("the device refuses writing: " + s.devices.WhyNoAccess(false));
    Check(hid.WriteReport(report.data(), size), "WriteFile");
  }
}

void SetFeatureCommand(Session& s) {
  const std::vector<std::uint8_t> bytes = ParseReportBytes(s.inv.args[1]);
  const std::int32_t index = s.devices.Select(s.inv.args[0]);
  const auto report = CheckedReport(s.devices.At(index), Kind::kFeature, bytes, true);
  OpenSelected(s);
  Check(s.devices.Hid().WriteFeature(report.data(), static_cast<std::uint32_t>(report.size())),
        "HidD_SetFeature");
}

void GetFeatureCommand(Session& s) {
  GetReport(s, Kind::kFeature, "HidD_GetFeature", &qz::TqzHid::ReadFeature);
}

void GetInputCommand(Session& s) {
  GetReport(s, Kind::kInput, "HidD_GetInputReport", &qz::TqzHid::GetInputReport);
}

}  // namespace qzhid
