// The benchmark's writer process and the tally of what a reader received.
#include "bench_input.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vmtest {
namespace {

void Put64(std::uint8_t* at, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint64_t Get64(const std::uint8_t* at) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | at[i];
  return v;
}

std::uint8_t Filler(std::uint64_t seq, std::size_t k) {
  return static_cast<std::uint8_t>(seq * 7 + k);
}

// The child's loop: only system calls and arithmetic, as after a fork of a threaded
// program. Returns the number sent; *failed when the device refused one.
std::uint64_t SendReports(UhidDevice& device, double rate, double seconds, bool* failed) {
  prctl(PR_SET_TIMERSLACK, 1UL);  // wake at the paced send times, not 50 us later
  std::uint8_t report[kReportSize];
  const std::int64_t start = NowNs();
  const std::int64_t end = start + static_cast<std::int64_t>(seconds * 1e9);
  const double period = rate > 0 ? 1e9 / rate : 0;
  std::uint64_t seq = 0;
  for (;;) {
    if (period > 0) {
      const std::int64_t due = start + static_cast<std::int64_t>(static_cast<double>(seq) * period);
      if (due >= end) break;
      timespec t{static_cast<time_t>(due / 1000000000), static_cast<long>(due % 1000000000)};
      while (NowNs() < due &&
             clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
      }
    } else if ((seq & 63) == 0 && NowNs() >= end) {
      break;
    }
    MakeReport(report, ++seq, NowNs());
    if (!device.Input(report, kReportSize)) {
      *failed = true;
      return seq - 1;
    }
  }
  return seq;
}

// The nearest-rank percentile of sorted nanoseconds, in microseconds.
double Percentile(const std::vector<std::int64_t>& sorted, std::size_t percent) {
  const std::size_t rank = (sorted.size() * percent + 99) / 100;
  return static_cast<double>(sorted[rank > 0 ? rank - 1 : 0]) / 1e3;
}

}  // namespace

void MakeReport(std::uint8_t* report, std::uint64_t seq, std::int64_t sent) {
  Put64(report, seq);
  Put64(report + 8, static_cast<std::uint64_t>(sent));
  for (std::size_t k = 16; k < kReportSize; ++k) report[k] = Filler(seq, k);
}

std::int64_t NowNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

double ProcessCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

Writer::Writer(UhidDevice& device, double rate, double seconds) {
  int go[2], result[2];
  if (::pipe2(go, O_CLOEXEC) != 0) return;
  if (::pipe2(result, O_CLOEXEC) != 0) {
    ::close(go[0]);
    ::close(go[1]);
    return;
  }
  child_ = ::fork();
  if (child_ == 0) {
    char c;
    const bool started = ::read(go[0], &c, 1) == 1;
    bool failed = !started;
    const std::uint64_t answer[2] = {started ? SendReports(device, rate, seconds, &failed) : 0,
                                     failed ? 1u : 0u};
    const bool told = ::write(result[1], answer, sizeof answer) == sizeof answer;
    ::_exit(told ? 0 : 1);
  }
  ::close(go[0]);
  ::close(result[1]);
  go_ = go[1];
  result_ = result[0];
  if (child_ < 0) failed_ = true;
}

Writer::~Writer() {
  if (child_ > 0 && !finished_) {
    ::kill(child_, SIGKILL);
    ::waitpid(child_, nullptr, 0);
  }
  if (go_ >= 0) ::close(go_);
  if (result_ >= 0) ::close(result_);
}

void Writer::Start() {
  const char c = 1;
  if (::write(go_, &c, 1) != 1) failed_ = true;
}

bool Writer::Finished() {
  if (finished_ || child_ <= 0) return true;
  int status = 0;
  if (::waitpid(child_, &status, WNOHANG) != child_) return false;
  finished_ = true;
  std::uint64_t answer[2] = {0, 1};
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
      ::read(result_, answer, sizeof answer) != sizeof answer)
    answer[1] = 1;
  sent_ = answer[0];
  failed_ = answer[1] != 0;
  return true;
}

void Tally::Error(const std::string& what) {
  if (errors_++ == 0) first_error_ = what;
}

void Tally::Malformed(const std::string& what) { Error("malformed report: " + what); }

void Tally::Take(const std::uint8_t* report, std::size_t size, std::int64_t now) {
  if (size != kReportSize) return Malformed(std::to_string(size) + " bytes");
  const std::uint64_t seq = Get64(report);
  for (std::size_t k = 16; k < kReportSize; ++k)
    if (report[k] != Filler(seq, k))
      return Malformed("report " + std::to_string(seq) + ", byte " + std::to_string(k));
  if (seq <= last_)
    return Error("report " + std::to_string(seq) + " after report " + std::to_string(last_));
  last_ = seq;
  last_receipt_ = now;
  const auto sent_at = static_cast<std::int64_t>(Get64(report + 8));
  if (latencies_.size() < slots_) latencies_.push_back(now - sent_at);
  received_.fetch_add(1, std::memory_order_relaxed);
}

Tally::Result Tally::Finish(std::uint64_t sent, std::int64_t start, double cpu) {
  Result r;
  r.sent = sent;
  r.received = received_.load();
  if (last_ > sent)
    Error("report " + std::to_string(last_) + " of " + std::to_string(sent) + " sent");
  r.lost = sent > r.received ? sent - r.received : 0;
  r.errors = errors_;
  r.first_error = first_error_;
  if (r.received > 0 && last_receipt_ > start) {
    r.rate = static_cast<double>(r.received) / (static_cast<double>(last_receipt_ - start) / 1e9);
    r.cpu_us = cpu * 1e6 / static_cast<double>(r.received);
  }
  if (!latencies_.empty()) {
    std::sort(latencies_.begin(), latencies_.end());
    r.median_us = Percentile(latencies_, 50);
    r.p99_us = Percentile(latencies_, 99);
  }
  return r;
}

}  // namespace vmtest
