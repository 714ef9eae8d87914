// hidapi's read loop and the HID component as readers of the benchmark's reports. Each
// run forks its writer first, opens the device, measures from the writer's start until
// the reader has been quiet for a while after the writer ended, then closes.
#include "bench_readers.h"

#include <chrono>
#include <hidapi.h>
#include <thread>

#include "qzclasses/text.h"
#include "qzhid/hid.h"

namespace vmtest {
namespace {

using namespace std::chrono_literals;

// A reader that gets no report for this long after the writer ended has them all.
constexpr auto kQuiet = 300ms;

std::size_t LatencySlots(double rate, double seconds) {
  return rate > 0 ? static_cast<std::size_t>(rate * seconds * 1.1) + 100 : 0;
}

Tally::Result Failed(const std::string& what) {
  Tally::Result r;
  r.errors = 1;
  r.first_error = what;
  return r;
}

// Receives on the component's I/O thread: the block is the report ID (0) and the report.
struct ComponentSink {
  Tally* tally;
  void OnReceived(qz::TqzBaseIO*, const void* buffer, std::uint32_t size) {
    const std::int64_t now = NowNs();
    const auto* b = static_cast<const std::uint8_t*>(buffer);
    if (size != kReportSize + 1 || b[0] != 0)
      return tally->Malformed(std::to_string(size) + " bytes, ID " +
                              std::to_string(size ? b[0] : -1));
    tally->Take(b + 1, kReportSize, now);
  }
};

}  // namespace

Tally::Result ReadWithHidapi(UhidDevice& device, const std::string& node, double rate,
                             double seconds) {
  Writer writer(device, rate, seconds);
  if (!writer.ok()) return Failed("cannot fork the writer");
  hid_device* dev = hid_open_path(node.c_str());
  if (dev == nullptr) return Failed("hid_open_path " + node + " fails");
  Tally tally(LatencySlots(rate, seconds));
  std::uint8_t buffer[kReportSize + 1];
  const double cpu = ProcessCpuSeconds();
  const std::int64_t start = NowNs();
  writer.Start();
  int n;
  while ((n = hid_read_timeout(dev, buffer, sizeof buffer, static_cast<int>(kQuiet / 1ms))) >= 0) {
    if (n > 0)
      tally.Take(buffer, static_cast<std::size_t>(n), NowNs());
    else if (writer.Finished())
      break;
  }
  const double used = ProcessCpuSeconds() - cpu;
  hid_close(dev);
  if (n < 0) return Failed("hid_read fails");
  while (!writer.Finished()) std::this_thread::sleep_for(10ms);
  if (writer.Failed()) return Failed("the writer could not send");
  return tally.Finish(writer.Sent(), start, used);
}

Tally::Result ReadWithComponent(qz::ConsoleDispatcher& dispatcher, UhidDevice& device,
                                const std::string& node, double rate, double seconds) {
  Writer writer(device, rate, seconds);
  if (!writer.ok()) return Failed("cannot fork the writer");
  Tally tally(LatencySlots(rate, seconds));
  ComponentSink sink{&tally};
  qz::TqzHid hid(nullptr);
  auto* record = new qz::TqzHidDevice();
  record->NameSymbolic = qz::TextFromUtf8(node);
  if (!hid.LoadDeviceInfo(*record, false)) {
    delete record;
    return Failed("the component cannot load " + node);
  }
  hid.SetDeviceIndex(hid.AddDevice(record));
  hid.SetOnAfterReceive(qz::TOnReceived::Bind<&ComponentSink::OnReceived>(&sink));
  hid.SetActive(true);
  if (!hid.GetActive() || !hid.IsReadMode()) return Failed("the component cannot open " + node);
  const double cpu = ProcessCpuSeconds();
  const std::int64_t start = NowNs();
  writer.Start();
  const auto limit = std::chrono::milliseconds(static_cast<std::int64_t>((seconds + 30) * 1000));
  dispatcher.RunUntil([&] { return writer.Finished(); }, limit);
  for (std::uint64_t seen = ~0ull; seen != tally.Received();) {
    seen = tally.Received();
    dispatcher.RunFor(kQuiet);
  }
  const double used = ProcessCpuSeconds() - cpu;
  hid.SetActive(false);
  if (!writer.Finished() || writer.Failed()) return Failed("the writer could not send");
  return tally.Finish(writer.Sent(), start, used);
}

}  // namespace vmtest
