// `read`, and the reading behind `record`: input reports through the HID component's monitoring loop, each with its time
// since the start, until a count, a time limit, Ctrl-C or the device's removal.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <nlohmann/json.hpp>

#include "interrupts.h"
#include "qzclasses/text.h"
#include "report_bytes.h"
#include "session.h"

namespace qzhid {
namespace {

using Clock = std::chrono::steady_clock;

// Receives on the component's I/O thread, so that a report's time is the moment its read
// completed; the main thread meanwhile only waits.
class ReportReceiver {
 public:
  ReportReceiver(const ReportSink& sink, std::uint64_t limit) : sink_(sink), limit_(limit) {}

  void Received(qz::TqzBaseIO*, const void* buffer, std::uint32_t length) {
    if (Done()) return;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    sink_(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start_),
          std::vector<std::uint8_t>(bytes, bytes + length));
    ++count_;
  }
  void Closed(qz::Component*) { closed_ = true; }

  bool Done() const { return (limit_ != 0 && count_ >= limit_) || closed_ || Interrupted(); }
  bool closed() const { return closed_; }

 private:
  const ReportSink& sink_;
  const std::uint64_t limit_;
  const Clock::time_point start_ = Clock::now();
  std::atomic<std::uint64_t> count_{0};
  std::atomic<bool> closed_{false};
};

std::uint64_t CountOption(const Invocation& inv) {
  const std::string* text = inv.Value("--count");
  if (!text) return 0;
  char* end = nullptr;
  const unsigned long long n = std::strtoull(text->c_str(), &end, 10);
  if (text->empty() || *end != '\0' || (*text)[0] == '-' || n == 0 || n > 1000000000ULL)
    throw UsageError("--count needs a number of reports from 1 to 1000000000");
  return n;
}

// Milliseconds; 0 without a limit.
std::chrono::milliseconds TimeoutOption(const Invocation& inv) {
  const std::string* text = inv.Value("--timeout");
  if (!text) return std::chrono::milliseconds(0);
  char* end = nullptr;
  const double seconds = std::strtod(text->c_str(), &end);
  if (text->empty() || *end != '\0' || !(seconds > 0) || seconds > 31536000)
    throw UsageError("--timeout needs a number of seconds greater than 0 (at most a year)");
  return std::chrono::milliseconds(static_cast<long long>(seconds * 1000 + 0.5));
}

}  // namespace

void ReadReports(Session& s, std::int32_t index, const ReportSink& sink) {
  const std::uint64_t limit = CountOption(s.inv);
  const std::chrono::milliseconds timeout = TimeoutOption(s.inv);
  qz::TqzHid& hid = s.devices.Hid();
  ReportReceiver receiver(sink, limit);
  hid.SetUseMainThread(false);
  hid.SetOnAfterReceive(qz::TOnReceived::Bind<&ReportReceiver::Received>(&receiver));
  hid.SetOnClose(qz::TNotifyEvent::Bind<&ReportReceiver::Closed>(&receiver));
  InterruptCatcher interrupts;
  s.devices.Open(index);
  if (!hid.IsReadMode()) {
    hid.SetActive(false);
    throw Failure("the device refuses reading: " + s.devices.WhyNoAccess(true));
  }
  const auto deadline = Clock::now() + timeout;
  bool timedOut = false;
  while (!receiver.Done()) {
    auto slice = std::chrono::milliseconds(200);
    if (timeout.count() > 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) {
        timedOut = true;
        break;
      }
      slice = std::min(slice, left);
    }
    s.dispatcher.RunUntil([&] { return receiver.Done(); }, slice);
  }
  const bool removed = receiver.closed();
  hid.SetOnClose({});
  hid.SetActive(false);
  if (removed) throw Failure("stopped: the device went away");
  if (Interrupted()) s.err << "qzhid: stopped: interrupted (Ctrl-C)\n";
  else if (timedOut) s.err << "qzhid: stopped: time limit reached\n";
}

namespace {

std::string FieldName(const qz::DecodedField& f) {
  return qz::TextToUtf8(f.usagePageName) + " / " + qz::TextToUtf8(f.usageName);
}

nlohmann::ordered_json FieldsJson(const qz::DecodedReport& decoded) {
  auto fields = nlohmann::ordered_json::array();
  for (const qz::DecodedField& f : decoded.fields) {
    nlohmann::ordered_json field{{"usage_page", f.usagePage}, {"usage", f.usage},
                                 {"name", FieldName(f)}, {"value", f.logical}};
    if (f.physical) field["physical"] = *f.physical;
    fields.push_back(std::move(field));
  }
  return fields;
}

// The decoded fields, one a line under the report; what HidP_GetData refused otherwise.
std::string FieldsText(const qz::DecodedReport& decoded) {
  if (decoded.status != HIDP_STATUS_SUCCESS) {
    char text[64];
    std::snprintf(text, sizeof text, "              (not decoded: status %08lx)\n",
                  static_cast<unsigned long>(static_cast<ULONG>(decoded.status)));
    return text;
  }
  std::string text;
  for (const qz::DecodedField& f : decoded.fields) {
    text += "              " + FieldName(f) + " = " + std::to_string(f.logical);
    if (f.physical) text += " (physical " + std::to_string(*f.physical) + ")";
    text += "\n";
  }
  return text;
}

}  // namespace

void ReadCommand(Session& s) {
  const std::int32_t index = s.devices.Select(s.inv.args[0]);
  const bool raw = s.inv.Has("--raw");
  qz::TqzHid& hid = s.devices.Hid();
  ReadReports(s, index, [&](std::chrono::microseconds time, const std::vector<std::uint8_t>& report) {
    const double seconds = std::chrono::duration<double>(time).count();
    const qz::DecodedReport decoded =
        raw ? qz::DecodedReport{} : hid.DecodeReport(report.data(), static_cast<ULONG>(report.size()));
    if (s.inv.json) {
      nlohmann::ordered_json line{{"time", seconds}, {"bytes", HexBytes(report)}};
      if (!raw) line["fields"] = FieldsJson(decoded);
      s.out << line.dump() << "\n";
    } else {
      char stamp[32];
      std::snprintf(stamp, sizeof stamp, "%12.6f  ", seconds);
      s.out << stamp << HexBytes(report) << "\n";
      if (!raw) s.out << FieldsText(decoded);
    }
    s.out.flush();
  });
}

}  // namespace qzhid
