// 64-byte input reports decoded per second with hidparse::GetData, on a gamepad
// and a keyboard descriptor, against a hand-written extraction of the same fields
// (the same data indices and values, in the same order) run in the same process.
// Before timing, both decoders must agree on every report. The ratio printed at
// the end compares runs across machines; absolute rates are the machine's.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "hidparse/hidparse.h"
#include "hidparse/report.h"
#include "ratio_reporter.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Report = std::array<char, 64>;
using Entries = std::array<HIDP_DATA, 64>;

// Six 16-bit axes, a hat switch, 16 buttons and 48 vendor bytes (a value array,
// which GetData leaves out): 63 bytes after the report-ID byte.
const Bytes kGamepad = {
    0x05, 0x01, 0x09, 0x05, 0xA1, 0x01, 0x09, 0x30, 0x09, 0x31, 0x09, 0x32, 0x09, 0x33, 0x09,
    0x34, 0x09, 0x35, 0x15, 0x00, 0x27, 0xFF, 0xFF, 0x00, 0x00, 0x75, 0x10, 0x95, 0x06, 0x81,
    0x02, 0x09, 0x39, 0x25, 0x07, 0x35, 0x00, 0x46, 0x3B, 0x01, 0x65, 0x14, 0x75, 0x04, 0x95,
    0x01, 0x81, 0x42, 0x65, 0x00, 0x81, 0x03, 0x05, 0x09, 0x19, 0x01, 0x29, 0x10, 0x25, 0x01,
    0x45, 0x00, 0x75, 0x01, 0x95, 0x10, 0x81, 0x02, 0x06, 0x00, 0xFF, 0x09, 0x01, 0x26, 0xFF,
    0x00, 0x75, 0x08, 0x95, 0x30, 0x81, 0x02, 0xC0};

// A boot keyboard (8 modifier bits, a reserved byte, a 6-key array of usages
// 0-101) padded with 55 constant bytes to the same 63 bytes.
const Bytes kKeyboard = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00,
    0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01,
    0x95, 0x06, 0x75, 0x08, 0x25, 0x65, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0x95, 0x37,
    0x81, 0x01, 0xC0};

HIDP_DATA Entry(USHORT index, ULONG value) {
  HIDP_DATA entry{};
  entry.DataIndex = index;
  entry.RawValue = value;
  return entry;
}

// The gamepad by hand. Its axes are stored last-declared first, so data index
// 0 is the sixth axis (bytes 11-12) and 5 the first (bytes 1-2); the hat is 6,
// buttons 1-16 are 7-22.
ULONG HandGamepad(const Report& r, Entries& out) {
  const auto* b = reinterpret_cast<const std::uint8_t*>(r.data());
  ULONG n = 0;
  for (USHORT index = 0; index < 6; ++index) {
    const int at = 1 + 2 * (5 - index);
    out[n++] = Entry(index, b[at] | b[at + 1] << 8);
  }
  out[n++] = Entry(6, b[13] & 0x0F);
  const unsigned buttons = b[14] | b[15] << 8;
  for (USHORT k = 0; k < 16; ++k) {
    if (buttons >> k & 1) out[n++] = Entry(static_cast<USHORT>(7 + k), 1);
  }
  return n;
}

// The keyboard by hand: modifiers are data indices 0-7; the key list starts at
// usage 0, so a key field holding v (0 none) names usage v, data index 8 + v,
// listed in ascending order.
ULONG HandKeyboard(const Report& r, Entries& out) {
  const auto* b = reinterpret_cast<const std::uint8_t*>(r.data());
  ULONG n = 0;
  for (USHORT k = 0; k < 8; ++k) {
    if (b[1] >> k & 1) out[n++] = Entry(k, 1);
  }
  const ULONG first_key = n;
  for (int field = 3; field < 9; ++field) {
    const unsigned v = b[field];
    if (v == 0 || v > 101) continue;
    ULONG j = n++;
    for (; j > first_key && out[j - 1].DataIndex > 8 + v; --j) out[j] = out[j - 1];
    out[j] = Entry(static_cast<USHORT>(8 + v), 1);
  }
  return n;
}

using HandDecoder = ULONG (*)(const Report&, Entries&);

struct Case {
  std::shared_ptr<const hidparse::PreparsedData> data;
  std::vector<Report> reports;
  HandDecoder hand;
};

// Reports of random bytes; the keyboard's key fields hold indices 0-101.
std::vector<Report> MakeReports(bool keyboard) {
  std::mt19937 random(keyboard ? 7 : 11);
  std::vector<Report> reports(256);
  for (Report& r : reports) {
    for (char& c : r) c = static_cast<char>(random());
    r[0] = 0;
    if (keyboard) {
      for (int field = 3; field < 9; ++field) r[field] = static_cast<char>(random() % 102);
    }
  }
  return reports;
}

Case Prepare(const Bytes& descriptor, bool keyboard, HandDecoder hand) {
  const hidparse::ParseResult parsed = hidparse::Parse(descriptor);
  if (!parsed.ok() || parsed.collections[0]->caps.InputReportByteLength != 64) {
    std::fprintf(stderr, "report_decode_bench: descriptor does not give 64-byte reports\n");
    std::exit(1);
  }
  Case c{parsed.collections[0], MakeReports(keyboard), hand};
  // Both decoders must give the same entries before either is timed.
  for (const Report& r : c.reports) {
    Entries library{}, by_hand{};
    ULONG count = library.size();
    const NTSTATUS status =
        hidparse::GetData(HidP_Input, library.data(), &count, c.data.get(), r.data(), 64);
    const ULONG hand_count = hand(r, by_hand);
    bool same = status == HIDP_STATUS_SUCCESS && count == hand_count;
    for (ULONG i = 0; same && i < count; ++i) {
      same = library[i].DataIndex == by_hand[i].DataIndex &&
             library[i].RawValue == by_hand[i].RawValue;
    }
    if (!same) {
      std::fprintf(stderr, "report_decode_bench: GetData and the hand decoder disagree\n");
      std::exit(1);
    }
  }
  return c;
}

void Library(benchmark::State& state, const Case* c) {
  Entries entries;
  std::size_t i = 0;
  for (auto _ : state) {
    ULONG count = entries.size();
    const Report& r = c->reports[i++ & 255];
    benchmark::DoNotOptimize(
        hidparse::GetData(HidP_Input, entries.data(), &count, c->data.get(), r.data(), 64));
    benchmark::DoNotOptimize(entries);
  }
  state.counters["reports/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void Hand(benchmark::State& state, const Case* c) {
  Entries entries;
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(c->hand(c->reports[i++ & 255], entries));
    benchmark::DoNotOptimize(entries);
  }
  state.counters["reports/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

int main(int argc, char** argv) {
  const Case gamepad = Prepare(kGamepad, false, &HandGamepad);
  const Case keyboard = Prepare(kKeyboard, true, &HandKeyboard);
  for (const auto& [name, c] : {std::pair{"gamepad", &gamepad}, std::pair{"keyboard", &keyboard}}) {
    benchmark::RegisterBenchmark((std::string("getdata/") + name).c_str(), Library, c);
    benchmark::RegisterBenchmark((std::string("hand/") + name).c_str(), Hand, c);
  }
  return RunWithRatios(
      argc, argv,
      RatioReporter("getdata", "hand",
                    "GetData time / hand-decoding time on the same reports (lower is better):",
                    "reports/s with GetData"));
}
