// Time to read the names from the installed usb.ids (what the first UsbIds::System() call
// costs after the file read), against a baseline in the same run: splitting the same text
// into lines. Rerun: build/bin/usb_ids_bench [FILE] (default /usr/share/misc/usb.ids).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "qzusbids/usb_ids.h"

namespace {

std::string g_text;

void BM_SplitLines(benchmark::State& state) {
  for (auto _ : state) {
    std::string_view text = g_text;
    std::size_t lines = 0;
    for (std::size_t end; (end = text.find('\n')) != std::string_view::npos; ++lines) {
      text.remove_prefix(end + 1);
    }
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_text.size()));
}
BENCHMARK(BM_SplitLines)->Unit(benchmark::kMillisecond);

void BM_ParseUsbIds(benchmark::State& state) {
  for (auto _ : state) {
    const qzusbids::UsbIds ids = qzusbids::UsbIds::Parse(g_text);
    benchmark::DoNotOptimize(&ids);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_text.size()));
}
BENCHMARK(BM_ParseUsbIds)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const char* path = argc > 1 ? argv[1] : "/usr/share/misc/usb.ids";
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  g_text = text.str();
  if (g_text.empty()) {
    std::fprintf(stderr, "usb_ids_bench: cannot read %s\n", path);
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
