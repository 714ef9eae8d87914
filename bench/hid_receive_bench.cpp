// Input reports per second through the HID component (monitoring loop, receive path,
// an OnAfterReceive handler, a log file linked at dlSimple) against a bare overlapped
// read loop on the same simulated device, and the allocations each report costs. The
// device streams 64-byte reports as fast as they are read (Machine::StreamInput).
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <thread>
#include <vector>

#include "qzclasses/headless_dispatcher.h"
#include "qzhid/hid.h"
#include "qzlogfile/log_file.h"
#include "qzplatform/sim/sim_ground.h"
#include "qzsysutils/qzsysutils.h"

namespace {

// Allocations are counted on the threads that read reports, once they have armed
// themselves (after their first report), so set-up and the device's side do not count.
std::atomic<std::uint64_t> g_allocations{0};
thread_local bool t_counting = false;

void* Allocate(std::size_t size) {
  if (t_counting) g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace std::chrono_literals;

// A vendor device with 64-byte input reports (65 with the report ID byte).
constexpr const char* kDeviceJson = R"({"devices": [{"name": "fast", "vendor_id": 1,
  "product_id": 2, "report_descriptor": "06 00 FF 09 01 A1 01 15 00 26 FF 00 75 08 95 40 09 02 81 02 C0"}]})";
constexpr std::uint32_t kReportLength = 65;

double g_bare_rate = 0;
double g_component_rate = 0;

struct Counter {
  std::atomic<std::uint64_t> reports{0};
  std::atomic<std::uint64_t> bad_lengths{0};
  void OnReceived(qz::TqzBaseIO*, const void*, std::uint32_t size) {
    t_counting = true;
    if (size != kReportLength) bad_lengths.fetch_add(1, std::memory_order_relaxed);
    reports.fetch_add(1, std::memory_order_relaxed);
  }
};

// Each iteration: the device streams kBatch reports, as fast as they are read, and the
// main thread waits until all have been counted.
constexpr std::uint64_t kBatch = 1000000;

void Measure(benchmark::State& state, qzplatform::sim::Machine& machine,
             const std::atomic<std::uint64_t>& reports, double* rate) {
  std::vector<std::uint8_t> report(kReportLength, 0x5A);
  report[0] = 0;
  auto stream = [&](std::uint64_t count) {
    const std::uint64_t target = reports.load() + count;
    if (!machine.StreamInput(0, report, count)) return false;
    while (reports.load(std::memory_order_relaxed) < target) std::this_thread::sleep_for(100us);
    return true;
  };
  // A first batch arms the reading thread's allocation count.
  if (!stream(1000)) return state.SkipWithError("the device does not stream");
  const std::uint64_t allocations_before = g_allocations.load();
  const std::uint64_t reports_before = reports.load();
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) stream(kBatch);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const auto delivered = static_cast<double>(reports.load() - reports_before);
  const auto allocations = static_cast<double>(g_allocations.load() - allocations_before);
  *rate = delivered / seconds;
  state.SetItemsProcessed(static_cast<std::int64_t>(delivered));
  state.counters["reports_per_s"] = *rate;
  state.counters["allocs_per_report"] = delivered > 0 ? allocations / delivered : 0;
}

class Ground {
 public:
  Ground() {
    qz::Dispatcher::Install(&dispatcher_);
    machine = qzplatform::sim::Install(qzplatform::sim::Machine::LoadJson(kDeviceJson));
  }
  ~Ground() {
    machine.reset();
    qzplatform::SetGround(nullptr);
    qz::Dispatcher::Install(nullptr);
  }
  std::shared_ptr<qzplatform::sim::Machine> machine;

 private:
  qz::HeadlessDispatcher dispatcher_;
};

// One overlapped read of a whole report at a time, without the component.
void BM_BareReadLoop(benchmark::State& state) {
  Ground ground;
  const std::u16string path = ground.machine->InterfacePath(0);
  HANDLE file = CreateFileW(qzplatform::AsWide(path), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OVERLAPPED, nullptr);
  if (file == INVALID_HANDLE_VALUE) return state.SkipWithError("cannot open the device");
  std::atomic<std::uint64_t> reports{0};
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    OVERLAPPED ov{};
    ov.hEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::vector<std::uint8_t> buffer(kReportLength);
    while (!stop.load(std::memory_order_relaxed)) {
      if (!qz::ReadFileWait(file, buffer.data(), kReportLength, &ov)) break;
      t_counting = true;
      reports.fetch_add(1, std::memory_order_relaxed);
    }
    t_counting = false;
    CloseHandle(ov.hEvent);
  });
  Measure(state, *ground.machine, reports, &g_bare_rate);
  stop = true;
  CloseHandle(file);  // ends the read waiting for more
  reader.join();
}

// The component's monitoring loop, receive path and handler, with a log file that
// filters the per-report debug lines.
void BM_ComponentReceive(benchmark::State& state) {
  Ground ground;
  qz::TqzLogFile log(nullptr);
  log.SetFileName(qz::TextFromUtf8(
      (std::filesystem::temp_directory_path() / "qzhid_receive_bench.log").string()));
  log.SetDetailLevel(qz::dlSimple);
  Counter counter;
  {
    qz::TqzHid hid(nullptr);
    hid.SetLog(&log);
    auto* record = new qz::TqzHidDevice();
    record->NameSymbolic = ground.machine->InterfacePath(0);
    if (!hid.LoadDeviceInfo(*record, false)) {
      delete record;
      return state.SkipWithError("cannot load the device");
    }
    hid.SetDeviceIndex(hid.AddDevice(record));
    hid.SetOnAfterReceive(qz::TOnReceived::Bind<&Counter::OnReceived>(&counter));
    hid.SetActive(true);
    Measure(state, *ground.machine, counter.reports, &g_component_rate);
    hid.SetActive(false);
  }
  if (counter.bad_lengths) state.SkipWithError("a block was not a whole input report");
}

BENCHMARK(BM_BareReadLoop)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
BENCHMARK(BM_ComponentReceive)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_bare_rate > 0 && g_component_rate > 0)
    std::printf("bare loop / component: %.2f (%.0f vs %.0f reports per second)\n",
                g_bare_rate / g_component_rate, g_bare_rate, g_component_rate);
  return 0;
}
