// The linux ground against hidapi on a real kernel: run as the only program of a small
// virtual machine (tests/vm/run-vm-bench), it makes uhid devices and measures, side by
// side, hidapi (hid_enumerate, hid_read) and this project (TqzHid's discovery and its
// receiving): enumeration with 5, 20 and 50 devices, a flood of input reports, and
// reports paced at 8,000 and 500 per second. Prints one "bench:" line per figure with
// the ratio qzLink/hidapi and a summary; exits non-zero only when the benchmark could
// not run or a report arrived out of order or malformed. Timing never fails it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <hidapi.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_readers.h"
#include "qzclasses/console_dispatcher.h"
#include "qzhid/hid.h"
#include "qzplatform/linux/linux_ground.h"
#include "vm_descriptors.h"

namespace vmtest {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

int errors = 0;

// qemu's keyboard, mouse and tablet.
constexpr int kQemuNodes = 3;

void Error(const std::string& what) {
  ++errors;
  std::printf("bench: ERROR %s\n", what.c_str());
  std::fflush(stdout);
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

double Ratio(double ours, double theirs) { return theirs > 0 ? ours / theirs : 0; }

int HidrawNodes() {
  std::error_code ec;
  int n = 0;
  fs::directory_iterator it("/sys/class/hidraw", ec), end;
  for (; !ec && it != end; it.increment(ec)) ++n;
  return n;
}

bool WaitForNodes(int count) {
  const auto end = std::chrono::steady_clock::now() + 10s;
  while (HidrawNodes() != count) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(5ms);
  }
  // The node is there; let the device's other uevents and sysfs entries follow.
  std::this_thread::sleep_for(100ms);
  return true;
}

// The hidraw node of the device with this vendor and product ("" when there is none).
std::string NodeOf(std::uint16_t vendor, std::uint16_t product) {
  char id[16];
  std::snprintf(id, sizeof id, ":%04X:%04X.", vendor, product);
  std::error_code ec;
  for (const auto& e : fs::directory_iterator("/sys/class/hidraw", ec)) {
    const std::string device = fs::read_symlink(e.path() / "device", ec).filename().string();
    if (device.find(id) != std::string::npos) return "/dev/" + e.path().filename().string();
  }
  return "";
}

double Milliseconds(std::chrono::steady_clock::time_point since) {
  const auto elapsed = std::chrono::steady_clock::now() - since;
  return std::chrono::duration<double, std::milli>(elapsed).count();
}

// hid_enumerate of everything and its release; *count gets the entries.
double HidapiEnumerate(int* count) {
  const auto start = std::chrono::steady_clock::now();
  hid_device_info* list = hid_enumerate(0, 0);
  *count = 0;
  for (hid_device_info* d = list; d != nullptr; d = d->next) ++*count;
  hid_free_enumeration(list);
  return Milliseconds(start);
}

// The listing of `hid-demo --list`: a component, its discovery with strings, its release.
double ComponentEnumerate(int* count) {
  const auto start = std::chrono::steady_clock::now();
  {
    qz::TqzHid hid(nullptr);
    hid.SetEnumFullMode(true);
    hid.DeviceListLoad();
    *count = hid.GetDeviceCount();
  }
  return Milliseconds(start);
}

struct Options {
  bool short_form = false;
  int runs() const { return short_form ? 5 : 9; }
  // Enumeration runs at one size stop once they took this long (at least one run).
  std::chrono::seconds budget() const { return short_form ? 20s : 60s; }
  // Input tests: rounds of both readers, each sending for seconds().
  int rounds() const { return short_form ? 2 : 4; }
  double seconds() const { return short_form ? 3 : 5; }
};

// The uhid devices of the enumeration: every third has two top-level collections and
// report IDs, the others one collection without IDs.
class DeviceSet {
 public:
  bool Grow(int count) {
    while (static_cast<int>(devices_.size()) < count) Add();
    return WaitForNodes(kQemuNodes + count);
  }
  // Unplugs the newest device and plugs it again: a change of the machine.
  bool Replug() {
    devices_.pop_back();
    if (!WaitForNodes(kQemuNodes + static_cast<int>(devices_.size()))) return false;
    Add();
    return WaitForNodes(kQemuNodes + static_cast<int>(devices_.size()));
  }
  void Clear() {
    devices_.clear();
    WaitForNodes(kQemuNodes);
  }
  std::string error() const { return error_; }

 private:
  void Add() {
    const int i = static_cast<int>(devices_.size());
    char name[32];
    std::snprintf(name, sizeof name, "qzLink Bench %02d", i);
    const auto product = static_cast<std::uint16_t>(0x0100 + i);
    devices_.push_back(
        std::make_unique<UhidDevice>(name, 0x1209, product, i % 3 == 2 ? kMulti : kVendor));
    if (!devices_.back()->ok()) error_ = devices_.back()->error();
  }

  std::vector<std::unique_ptr<UhidDevice>> devices_;
  std::string error_;
};

struct EnumFigures {
  double hidapi = 0, cold = 0, warm = 0;
  int hidapi_count = 0, count = 0;
};

EnumFigures MeasureEnumeration(DeviceSet& set, int devices, const Options& o) {
  EnumFigures f;
  if (!set.Grow(devices)) {
    Error("the " + std::to_string(devices) + " uhid devices do not appear " + set.error());
    return f;
  }
  std::vector<double> hidapi, cold, warm;
  const auto start = std::chrono::steady_clock::now();
  auto more = [&](int run) {
    return run < o.runs() && (run == 0 || std::chrono::steady_clock::now() - start < o.budget());
  };
  for (int run = 0; more(run); ++run) {
    if (run > 0 && !set.Replug()) {
      Error("a replugged uhid device does not come back");
      break;
    }
    hidapi.push_back(HidapiEnumerate(&f.hidapi_count));
    cold.push_back(ComponentEnumerate(&f.count));
    warm.push_back(ComponentEnumerate(&f.count));
  }
  f.hidapi = Median(hidapi);
  f.cold = Median(cold);
  f.warm = Median(warm);
  std::printf("bench: enumerate %d devices (+%d qemu; hidapi lists %d, qzLink %d interfaces; "
              "median of %zu runs): hidapi %.2f ms, qzLink %.2f ms (cold), %.2f ms (warm), "
              "ratio %.2f (cold), %.2f (warm)\n",
              devices, kQemuNodes, f.hidapi_count, f.count, cold.size(), f.hidapi, f.cold, f.warm,
              Ratio(f.cold, f.hidapi), Ratio(f.warm, f.hidapi));
  std::printf("bench: enumerate %d devices, per interface: hidapi %.3f ms, qzLink %.3f ms (cold), "
              "%.3f ms (warm), ratio %.2f (cold)\n",
              devices, f.hidapi / std::max(f.hidapi_count, 1), f.cold / std::max(f.count, 1),
              f.warm / std::max(f.count, 1),
              Ratio(f.cold / std::max(f.count, 1), f.hidapi / std::max(f.hidapi_count, 1)));
  std::fflush(stdout);
  return f;
}

struct InputFigures {
  Tally::Result hidapi, ours;
};

double Percent(const Tally::Result& r) {
  return r.sent ? 100.0 * static_cast<double>(r.lost) / static_cast<double>(r.sent) : 0;
}

bool Check(const Tally::Result& r, const std::string& who, const std::string& test) {
  if (r.errors == 0 && r.received > 0) return true;
  Error(test + ", " + who + ": " + std::to_string(r.errors) + " reports out of order or malformed" +
        (r.first_error.empty() ? ", none received" : " (first: " + r.first_error + ")"));
  return false;
}

// The rounds' figures in one: counts summed, rates, costs and latencies their medians.
Tally::Result Combine(const std::vector<Tally::Result>& rounds) {
  Tally::Result all;
  std::vector<double> rate, cpu, median, p99;
  for (const Tally::Result& r : rounds) {
    all.sent += r.sent;
    all.received += r.received;
    all.lost += r.lost;
    all.errors += r.errors;
    if (all.first_error.empty()) all.first_error = r.first_error;
    rate.push_back(r.rate);
    cpu.push_back(r.cpu_us);
    median.push_back(r.median_us);
    p99.push_back(r.p99_us);
  }
  all.rate = Median(rate);
  all.cpu_us = Median(cpu);
  all.median_us = Median(median);
  all.p99_us = Median(p99);
  return all;
}

// Rounds of hidapi alone and the component alone on the same device and load; which
// reads first alternates from round to round.
InputFigures MeasureInput(qz::ConsoleDispatcher& dispatcher, UhidDevice& device,
                          const std::string& node, double rate, const Options& o) {
  std::vector<Tally::Result> hidapi, ours;
  for (int round = 0; round < o.rounds(); ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      if ((turn == 0) == (round % 2 == 0))
        hidapi.push_back(ReadWithHidapi(device, node, rate, o.seconds()));
      else
        ours.push_back(ReadWithComponent(dispatcher, device, node, rate, o.seconds()));
    }
  }
  InputFigures f{Combine(hidapi), Combine(ours)};
  char test[48];
  if (rate > 0)
    std::snprintf(test, sizeof test, "paced %.0f/s", rate);
  else
    std::snprintf(test, sizeof test, "flood");
  if (!Check(f.hidapi, "hidapi", test) | !Check(f.ours, "qzLink", test)) return f;
  auto lost = [](const Tally::Result& r) {
    char text[64];
    std::snprintf(text, sizeof text, "%llu of %llu (%.2f %%)",
                  static_cast<unsigned long long>(r.lost), static_cast<unsigned long long>(r.sent),
                  Percent(r));
    return std::string(text);
  };
  std::printf("bench: %s, %d rounds of %.0f s, lost: hidapi %s, qzLink %s\n", test, o.rounds(),
              o.seconds(), lost(f.hidapi).c_str(), lost(f.ours).c_str());
  std::printf("bench: %s, reports/s received: hidapi %.0f, qzLink %.0f, ratio %.2f\n", test,
              f.hidapi.rate, f.ours.rate, Ratio(f.ours.rate, f.hidapi.rate));
  std::printf("bench: %s, CPU per report: hidapi %.2f us, qzLink %.2f us, ratio %.2f\n", test,
              f.hidapi.cpu_us, f.ours.cpu_us, Ratio(f.ours.cpu_us, f.hidapi.cpu_us));
  if (rate > 0) {
    std::printf("bench: %s, latency median: hidapi %.0f us, qzLink %.0f us, ratio %.2f\n", test,
                f.hidapi.median_us, f.ours.median_us, Ratio(f.ours.median_us, f.hidapi.median_us));
    std::printf("bench: %s, latency p99: hidapi %.0f us, qzLink %.0f us, ratio %.2f\n", test,
                f.hidapi.p99_us, f.ours.p99_us, Ratio(f.ours.p99_us, f.hidapi.p99_us));
  }
  std::fflush(stdout);
  return f;
}

void Goal(const char* what, double ratio, const char* goal, bool met) {
  std::printf("bench:   %-34s ratio %7.2f   goal %-8s %s\n", what, ratio, goal,
              met ? "met" : "NOT met");
}

// What one more interface costs between two sizes (cold for qzLink), in ms.
double Added(const EnumFigures& small, const EnumFigures& large, bool ours) {
  if (ours) return Ratio(large.cold - small.cold, large.count - small.count);
  return Ratio(large.hidapi - small.hidapi, large.hidapi_count - small.hidapi_count);
}

// Flat cost per device: an interface added between 20 and 50 devices costs what one added
// between 5 and 20 did (growth 1).
void PrintGrowth(const EnumFigures& e5, const EnumFigures& e20, const EnumFigures& e50) {
  std::printf("bench: enumerate, cost of one more interface: 5 -> 20 devices: hidapi %.3f ms, "
              "qzLink %.3f ms (cold); 20 -> 50: hidapi %.3f ms, qzLink %.3f ms (cold)\n",
              Added(e5, e20, false), Added(e5, e20, true), Added(e20, e50, false),
              Added(e20, e50, true));
}

double Growth(const EnumFigures& e5, const EnumFigures& e20, const EnumFigures& e50, bool ours) {
  return Ratio(Added(e20, e50, ours), Added(e5, e20, ours));
}

void Summary(const EnumFigures& e5, const EnumFigures& e20, const EnumFigures& e50,
             const InputFigures& flood,
             const InputFigures& fast, const InputFigures& slow) {
  std::printf("bench: summary, qzLink/hidapi from this boot, with the goals:\n");
  const double enumeration = Ratio(e50.cold, e50.hidapi);
  Goal("enumerate 50 devices (cold)", enumeration, "<= 2", enumeration <= 2);
  std::printf("bench:   %-34s qzLink x%.2f, hidapi x%.2f   goal flat (about x1)\n",
              "added interface, 20->50 / 5->20", Growth(e5, e20, e50, true),
              Growth(e5, e20, e50, false));
  const double cpu = Ratio(flood.ours.cpu_us, flood.hidapi.cpu_us);
  Goal("CPU per report (flood)", cpu, "<= 2", cpu <= 2);
  const double rate = Ratio(flood.ours.rate, flood.hidapi.rate);
  Goal("reports/s (flood)", rate, ">= 0.7", rate >= 0.7);
  std::printf("bench:   %-34s qzLink %.2f %%, hidapi %.2f %%   goal no more  %s\n",
              "lost at 8000/s",
              Percent(fast.ours), Percent(fast.hidapi),
              Percent(fast.ours) <= Percent(fast.hidapi) ? "met" : "NOT met");
  const double fast_median = Ratio(fast.ours.median_us, fast.hidapi.median_us);
  Goal("median latency at 8000/s", fast_median, "<= 1.5", fast_median <= 1.5);
  const double slow_median = Ratio(slow.ours.median_us, slow.hidapi.median_us);
  Goal("median latency at 500/s", slow_median, "<= 1.5", slow_median <= 1.5);
}

void Run(const Options& o) {
  qz::ConsoleDispatcher dispatcher;
  qzplatform::linux_ground::Install();
  if (hid_init() != 0) return Error("hid_init fails");
  std::printf("bench: %s form; 2 vCPUs under software emulation. Enumeration: each run does "
              "hidapi, then qzLink right after a device was unplugged and plugged again "
              "(cold), then qzLink again (warm). Input: rounds of hidapi alone and qzLink alone, "
              "each with its own writer process, the first reader alternating (hidapi first in "
              "the first round); figures are medians over the rounds, losses their sum.\n",
              o.short_form ? "short" : "full");
  int count = 0;
  HidapiEnumerate(&count);  // the libraries' first-use costs stay out of the figures
  ComponentEnumerate(&count);
  if (count < kQemuNodes)
    return Error("the component lists " + std::to_string(count) + " interfaces");

  auto section = std::chrono::steady_clock::now();
  DeviceSet set;
  const EnumFigures e5 = MeasureEnumeration(set, 5, o);
  const EnumFigures e20 = MeasureEnumeration(set, 20, o);
  const EnumFigures e50 = MeasureEnumeration(set, 50, o);
  PrintGrowth(e5, e20, e50);
  set.Clear();
  std::printf("bench: the enumeration took %.0f s in the guest\n", Milliseconds(section) / 1000);
  section = std::chrono::steady_clock::now();

  UhidDevice device("qzLink Bench Flood", 0x1209, 0x00F0, kVendor);
  if (!device.ok() || !WaitForNodes(kQemuNodes + 1))
    return Error("no flood device " + device.error());
  const std::string node = NodeOf(0x1209, 0x00F0);
  if (node.empty()) return Error("the flood device has no hidraw node");
  const InputFigures flood = MeasureInput(dispatcher, device, node, 0, o);
  const InputFigures fast = MeasureInput(dispatcher, device, node, 8000, o);
  const InputFigures slow = MeasureInput(dispatcher, device, node, 500, o);
  std::printf("bench: the input tests took %.0f s in the guest\n", Milliseconds(section) / 1000);
  if (errors == 0) Summary(e5, e20, e50, flood, fast, slow);
  hid_exit();
}

}  // namespace
}  // namespace vmtest

int main(int argc, char** argv) {
  vmtest::Options options;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--short") == 0) {
      options.short_form = true;
    } else {
      std::fprintf(stderr, "usage: linux_vm_bench [--short]\n");
      return 2;
    }
  }
  const auto start = std::chrono::steady_clock::now();
  try {
    vmtest::Run(options);
  } catch (const std::exception& e) {
    vmtest::Error(std::string("exception: ") + e.what());
  }
  std::printf("vm-bench: %d errors (%.0f s in the guest)\n", vmtest::errors,
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  return vmtest::errors == 0 ? 0 : 1;
}
