// What QZ_TRACE costs while it is off: calls through a traced entry against the same
// entry called directly, for an empty entry and for a real HID.DLL query.
#include <benchmark/benchmark.h>

#include "qzplatform/hidshared/preparsed_tokens.h"
#include "qzplatform/trace.h"
#include "ratio_reporter.h"

namespace {

using qzplatform::hidshared::HidP_MaxUsageListLength;
using qzplatform::trace::Traced;

[[gnu::noinline]] BOOL WINAPI HidD_Empty(HANDLE handle, ULONG value) {
  benchmark::DoNotOptimize(handle);
  return value != 0;
}

// Calls `entry` through a pointer the compiler cannot see through.
template <typename F, typename... A>
void CallThrough(benchmark::State& state, F entry, A... args) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(entry);
    benchmark::DoNotOptimize(entry(args...));
  }
  state.counters["calls/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void DirectEmpty(benchmark::State& s) { CallThrough(s, &HidD_Empty, nullptr, ULONG{1}); }
void TracedEmpty(benchmark::State& s) {
  CallThrough(s, Traced<"HidD_Empty", &HidD_Empty>, nullptr, ULONG{1});
}
void DirectQuery(benchmark::State& s) {
  CallThrough(s, &HidP_MaxUsageListLength, HidP_Input, USAGE{1}, PHIDP_PREPARSED_DATA{});
}
void TracedQuery(benchmark::State& s) {
  CallThrough(s, Traced<"HidP_MaxUsageListLength", &HidP_MaxUsageListLength>, HidP_Input,
              USAGE{1}, PHIDP_PREPARSED_DATA{});
}

}  // namespace

BENCHMARK(DirectEmpty)->Name("direct/empty");
BENCHMARK(TracedEmpty)->Name("traced/empty");
BENCHMARK(DirectQuery)->Name("direct/MaxUsageListLength");
BENCHMARK(TracedQuery)->Name("traced/MaxUsageListLength");

int main(int argc, char** argv) {
  qzplatform::trace::enabled = 0;  // off, whatever QZ_TRACE says
  return RunWithRatios(
      argc, argv,
      RatioReporter("traced", "direct",
                    "Traced entry time / direct call time with QZ_TRACE off (1.00x: free):",
                    "calls/s traced"));
}
