// Descriptors parsed per second by hidparse::Parse, measured against a baseline
// run in the same process: a plain scan that only walks the items of the same
// descriptor. The ratio printed at the end is machine-independent enough to
// compare runs; absolute rates are the machine's.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "hidparse/hidparse.h"
#include "ratio_reporter.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// HID 1.11 B.1 boot keyboard.
const Bytes kKeyboard = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25,
    0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05,
    0x75, 0x01, 0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91,
    0x01, 0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65,
    0x81, 0x00, 0xC0};

// Generic two-stick gamepad: five axes, hat, 12 buttons, vendor bits, output.
const Bytes kGamepad = {
    0x05, 0x01, 0x09, 0x04, 0xA1, 0x01, 0xA1, 0x02, 0x75, 0x08, 0x95, 0x05, 0x15, 0x00, 0x26,
    0xFF, 0x00, 0x35, 0x00, 0x46, 0xFF, 0x00, 0x09, 0x30, 0x09, 0x31, 0x09, 0x32, 0x09, 0x32,
    0x09, 0x35, 0x81, 0x02, 0x75, 0x04, 0x95, 0x01, 0x25, 0x07, 0x46, 0x3B, 0x01, 0x65, 0x14,
    0x09, 0x39, 0x81, 0x42, 0x65, 0x00, 0x75, 0x01, 0x95, 0x0C, 0x25, 0x01, 0x45, 0x01, 0x05,
    0x09, 0x19, 0x01, 0x29, 0x0C, 0x81, 0x02, 0x06, 0x00, 0xFF, 0x75, 0x01, 0x95, 0x08, 0x25,
    0x01, 0x45, 0x01, 0x09, 0x01, 0x81, 0x02, 0xC0, 0xA1, 0x02, 0x75, 0x08, 0x95, 0x04, 0x46,
    0xFF, 0x00, 0x26, 0xFF, 0x00, 0x09, 0x02, 0x91, 0x02, 0xC0, 0xC0};

// A large descriptor of `items` 8-bit axes, each in its own report ID and
// logical collection, to show the cost per byte stays flat as size grows.
Bytes Synthetic(int items) {
  Bytes d = {0x05, 0x01, 0x09, 0x04, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08};
  for (int i = 0; i < items; ++i) {
    const Bytes item = {0x85, static_cast<std::uint8_t>(1 + i % 255), 0xA1, 0x02, 0x09, 0x30,
                        0x09, 0x31, 0x95, 0x02, 0x81, 0x02, 0xC0};
    d.insert(d.end(), item.begin(), item.end());
  }
  d.push_back(0xC0);
  return d;
}

// Baseline: walks the items as any parser must (prefix, size, data bytes) and
// folds the data into a checksum so the work cannot be optimised away.
std::uint32_t ScanItems(const Bytes& d) {
  std::uint32_t sum = 0;
  std::size_t i = 0;
  while (i < d.size()) {
    const std::uint8_t prefix = d[i];
    const std::size_t short_size = (prefix & 3) == 3 ? 4 : prefix & 3;
    const std::size_t size =
        prefix == 0xFE ? (i + 1 < d.size() ? d[i + 1] + 2u : 0u) : short_size;
    std::uint32_t data = prefix;
    for (std::size_t k = 1; k <= size && i + k < d.size(); ++k) data = data * 31 + d[i + k];
    sum += data;
    i += 1 + size;
  }
  return sum;
}

void Parse(benchmark::State& state, const Bytes* d) {
  for (auto _ : state) {
    hidparse::ParseResult result = hidparse::Parse(*d);
    benchmark::DoNotOptimize(result);
    if (!result.ok()) state.SkipWithError(result.error.c_str());
  }
  state.counters["descriptors/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d->size()));
}

void Scan(benchmark::State& state, const Bytes* d) {
  for (auto _ : state) benchmark::DoNotOptimize(ScanItems(*d));
  state.counters["descriptors/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d->size()));
}

}  // namespace

int main(int argc, char** argv) {
  const Bytes synthetic_1k = Synthetic(78);     // about 1 KiB
  const Bytes synthetic_16k = Synthetic(1260);  // about 16 KiB
  const std::pair<const char*, const Bytes*> descriptors[] = {
      {"keyboard", &kKeyboard},
      {"gamepad", &kGamepad},
      {"synthetic-1KiB", &synthetic_1k},
      {"synthetic-16KiB", &synthetic_16k},
  };
  for (const auto& [name, bytes] : descriptors) {
    benchmark::RegisterBenchmark((std::string("parse/") + name).c_str(), Parse, bytes);
    benchmark::RegisterBenchmark((std::string("scan/") + name).c_str(), Scan, bytes);
  }
  return RunWithRatios(
      argc, argv,
      RatioReporter("parse", "scan",
                    "parse time / item-scan time on the same descriptor (lower is better):",
                    "descriptors/s parsed"));
}
