// Entries per second into a safe-mode log file that sits at its size limit, as the HID
// Demo's log does under a stream of input reports (dlDebug, 20480-byte limit, date and
// time stamps, debugger output): every entry opens the file, cuts its front, appends and
// closes it. The baseline does the same file work with bare POSIX calls on a prepared
// line: open, read the part that stays, write it back with the line behind it, close.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "qzlogfile/log_file.h"

namespace {

constexpr std::uint32_t kSizeLimit = 20480;
// The longest of the two lines the demo logs for each 64-byte report.
constexpr char16_t kEntry[] = u"qzHID: Do input data [64] bytes ";

double g_bare_rate = 0;
double g_log_rate = 0;

std::string TempFile(const char* name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

// A file already at the limit, so that every entry cuts it.
void FillToLimit(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  const std::string filler(kSizeLimit, 'x');
  std::fwrite(filler.data(), 1, filler.size(), f);
  std::fclose(f);
}

void BM_BareCutAndAppend(benchmark::State& state) {
  const std::string path = TempFile("qz_log_bench_bare.log");
  FillToLimit(path);
  // The same length as the log's entries: CR LF, a date and time stamp, the text.
  const std::string line = "\r\n[2026-12-09 15:11:46] qzHID: Do input data [64] bytes ";
  std::string buffer(kSizeLimit, '\0');
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) return state.SkipWithError("cannot open the file");
    const std::size_t size = static_cast<std::size_t>(st.st_size);
    const std::size_t kept = kSizeLimit - line.size();
    if (::pread(fd, buffer.data(), kept, static_cast<off_t>(size - kept)) != static_cast<ssize_t>(kept))
      return state.SkipWithError("short read");
    buffer.replace(kept, line.size(), line);
    if (::pwrite(fd, buffer.data(), kSizeLimit, 0) != static_cast<ssize_t>(kSizeLimit))
      return state.SkipWithError("short write");
    ::close(fd);
  }
  state.SetItemsProcessed(state.iterations());
  std::remove(path.c_str());
}

void BM_SafeModeLogAtLimit(benchmark::State& state) {
  const std::string path = TempFile("qz_log_bench.log");
  FillToLimit(path);
  {
    qz::TqzLogFile log(nullptr);
    log.SetFileName(qz::TextFromUtf8(path));
    log.SetSizeLimit(kSizeLimit);
    log.SetDetailLevel(qz::dlDebug);
    log.SetOptions({qz::loSafeMode, qz::loDate, qz::loTime, qz::loDebugOut});
    log.AddLog(qz::dlDebug, kEntry);  // the banner goes first, outside the measurement
    for (auto _ : state) log.AddLog(qz::dlDebug, kEntry);
    state.SetItemsProcessed(state.iterations());
    if (std::filesystem::file_size(path) != kSizeLimit) state.SkipWithError("the file left its limit");
  }
  std::remove(path.c_str());
}

BENCHMARK(BM_BareCutAndAppend)->UseRealTime();
BENCHMARK(BM_SafeModeLogAtLimit)->UseRealTime();

// Keeps each benchmark's entries per second for the ratio printed at the end.
class RateReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const double rate = 1e9 / run.GetAdjustedRealTime();  // nanoseconds per entry
      if (run.benchmark_name().find("BareCutAndAppend") != std::string::npos) g_bare_rate = rate;
      if (run.benchmark_name().find("SafeModeLogAtLimit") != std::string::npos) g_log_rate = rate;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  if (g_bare_rate > 0 && g_log_rate > 0)
    std::printf("log file / bare file work: %.2f times the time per entry (%.0f vs %.0f entries/s)\n",
                g_bare_rate / g_log_rate, g_log_rate, g_bare_rate);
  return 0;
}
