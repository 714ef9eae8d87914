// `read`: input reports through the HID component's monitoring loop, each with its time
// since the start, until a count, a time limit, Ctrl-C or the device's removal.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <nlohmann/json.hpp>

#include "report_bytes.h"
#include "session.h"

namespace qzhid {
namespace {

std::atomic<bool> gInterrupted{false};

extern "C" void OnInterrupt(int) { gInterrupted = true; }

// Ctrl-C sets gInterrupted while it lives, instead of ending the program.
class InterruptCatcher {
 public:
  InterruptCatcher() : previous_(std::signal(SIGINT, &OnInterrupt)) { gInterrupted = false; }
  ~InterruptCatcher() { std::signal(SIGINT, previous_); }
  InterruptCatcher(const InterruptCatcher&) = delete;
  InterruptCatcher& operator=(const InterruptCatcher&) = delete;

 private:
  void (*previous_)(int);
};

using Clock = std::chrono::steady_clock;

// Receives on the main thread (the component hands each report over).
class ReportPrinter {
 public:
  ReportPrinter(Session& s, std::uint64_t limit) : s_(s), limit_(limit) {}

  void Received(qz::TqzBaseIO*, const void* buffer, std::uint32_t length) {
    if (Done()) return;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    const std::vector<std::uint8_t> report(bytes, bytes + length);
    const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    if (s_.inv.json) {
      s_.out << nlohmann::ordered_json{{"time", seconds}, {"bytes", HexBytes(report)}}.dump() << "\n";
    } else {
      char stamp[32];
      std::snprintf(stamp, sizeof stamp, "%12.6f  ", seconds);
      s_.out << stamp << HexBytes(report) << "\n";
    }
    s_.out.flush();
    ++count_;
  }
  void Closed(qz::Component*) { closed_ = true; }

  bool Done() const { return (limit_ != 0 && count_ >= limit_) || closed_ || gInterrupted; }
  bool closed() const { return closed_; }

 private:
  Session& s_;
  const std::uint64_t limit_;
  const Clock::time_point start_ = Clock::now();
  std::uint64_t count_ = 0;
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

void ReadCommand(Session& s) {
  const std::uint64_t limit = CountOption(s.inv);
  const std::chrono::milliseconds timeout = TimeoutOption(s.inv);
  const std::int32_t index = s.devices.Select(s.inv.args[0]);
  qz::TqzHid& hid = s.devices.Hid();
  ReportPrinter printer(s, limit);
  hid.SetUseMainThread(true);
  hid.SetOnAfterReceive(qz::TOnReceived::Bind<&ReportPrinter::Received>(&printer));
  hid.SetOnClose(qz::TNotifyEvent::Bind<&ReportPrinter::Closed>(&printer));
  InterruptCatcher interrupts;
  s.devices.Open(index);
  if (!hid.IsReadMode()) {
    hid.SetActive(false);
    throw Failure("the device refuses reading: " + s.devices.WhyNoAccess(true));
  }
  const auto deadline = Clock::now() + timeout;
  bool timedOut = false;
  while (!printer.Done()) {
    auto slice = std::chrono::milliseconds(200);
    if (timeout.count() > 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) {
        timedOut = true;
        break;
      }
      slice = std::min(slice, left);
    }
    s.dispatcher.RunUntil([&] { return printer.Done(); }, slice);
  }
  const bool removed = printer.closed();
  hid.SetOnClose({});
  hid.SetActive(false);
  if (removed) throw Failure("stopped: the device went away");
  if (gInterrupted) s.err << "qzhid: stopped: interrupted (Ctrl-C)\n";
  else if (timedOut) s.err << "qzhid: stopped: time limit reached\n";
}

}  // namespace qzhid
