// Input-report load for the benchmark against hidapi: a writer process sends numbered,
// time-stamped 64-byte reports through a uhid device, and a tally checks what a reader
// received (order, content, losses, latency) and what it cost the reading process.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

#include "qzplatform/linux/uhid_device.h"

namespace vmtest {

using qzplatform::linux_ground::Bytes;
using qzplatform::linux_ground::UhidDevice;

constexpr std::size_t kReportSize = 64;

// A report: sequence number, send time (both little-endian 64-bit), then bytes derived
// from the sequence number so that any corruption shows.
void MakeReport(std::uint8_t* report, std::uint64_t seq, std::int64_t sent);
// CLOCK_MONOTONIC in nanoseconds: one clock for the writer and the readers.
std::int64_t NowNs();
// User plus system CPU time of this process (all its threads) in seconds.
double ProcessCpuSeconds();

// A forked process that waits for Start(), then sends reports numbered from 1 for
// `seconds`, at `rate` reports per second or, with rate 0, as fast as it can.
class Writer {
 public:
  Writer(UhidDevice& device, double rate, double seconds);
  ~Writer();
  bool ok() const { return child_ > 0; }
  void Start();
  // True once the writer has ended; then Sent() is the number of reports it sent and
  // Failed() whether a send was refused.
  bool Finished();
  std::uint64_t Sent() const { return sent_; }
  bool Failed() const { return failed_; }

 private:
  pid_t child_ = -1;
  int go_ = -1;      // the parent's end of the start pipe
  int result_ = -1;  // the parent's end of the pipe the child reports through
  bool finished_ = false;
  bool failed_ = false;
  std::uint64_t sent_ = 0;
};

// What one reader received. Take runs on one thread at a time; the others read
// Received() only.
class Tally {
 public:
  // Keeps the latency of the first `latency_slots` reports (none: a flood).
  explicit Tally(std::size_t latency_slots) : slots_(latency_slots) { latencies_.reserve(slots_); }
  // One received report of kReportSize bytes, taken at `now` (NowNs()).
  void Take(const std::uint8_t* report, std::size_t size, std::int64_t now);
  // A report that did not even have the expected shape (wrong length or report ID).
  void Malformed(const std::string& what);
  std::uint64_t Received() const { return received_.load(std::memory_order_relaxed); }

  struct Result {
    std::uint64_t sent = 0, received = 0, lost = 0, errors = 0;
    double rate = 0;          // reports received per second, first send to last receipt
    double cpu_us = 0;        // the reading process's CPU per report received
    double median_us = 0, p99_us = 0;  // receipt minus send time
    std::string first_error;
  };
  // Completes the figures once the writer has ended: `start` is when it was started,
  // `cpu` the process's CPU seconds spent meanwhile.
  Result Finish(std::uint64_t sent, std::int64_t start, double cpu);

 private:
  void Error(const std::string& what);

  std::atomic<std::uint64_t> received_{0};
  std::uint64_t last_ = 0, errors_ = 0;
  std::int64_t last_receipt_ = 0;
  std::string first_error_;
  const std::size_t slots_;
  std::vector<std::int64_t> latencies_;
};

}  // namespace vmtest
