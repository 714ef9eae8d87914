// The benchmark's tally: what it counts as lost, out of order or malformed, and its
// rate and latency figures.
#include "bench_input.h"

#include <gtest/gtest.h>

namespace vmtest {
namespace {

constexpr std::int64_t kMs = 1000000;

// Report `seq`, sent at `sent` ms and taken at `taken` ms.
void Take(Tally& tally, std::uint64_t seq, std::int64_t sent, std::int64_t taken) {
  std::uint8_t report[kReportSize];
  MakeReport(report, seq, sent * kMs);
  tally.Take(report, kReportSize, taken * kMs);
}

TEST(BenchTally, GapsAndTheUnreceivedTailAreLossesNotErrors) {
  Tally tally(0);
  for (std::uint64_t seq : {1, 2, 5, 6}) Take(tally, seq, 0, 1);
  const Tally::Result r = tally.Finish(8, 0, 0);
  EXPECT_EQ(r.received, 4u);
  EXPECT_EQ(r.lost, 4u);  // 3, 4, 7 and 8
  EXPECT_EQ(r.errors, 0u);
}

TEST(BenchTally, ARepeatedOrEarlierReportIsAnError) {
  Tally tally(0);
  Take(tally, 1, 0, 1);
  Take(tally, 3, 0, 1);
  Take(tally, 3, 0, 1);
  Take(tally, 2, 0, 1);
  const Tally::Result r = tally.Finish(3, 0, 0);
  EXPECT_EQ(r.errors, 2u);
  EXPECT_EQ(r.received, 2u);
  EXPECT_EQ(r.first_error, "report 3 after report 3");
}

TEST(BenchTally, ACorruptShortOrUnsentReportIsAnError) {
  Tally tally(0);
  std::uint8_t report[kReportSize];
  MakeReport(report, 1, 0);
  report[40] ^= 1;
  tally.Take(report, kReportSize, 0);
  EXPECT_EQ(tally.Finish(1, 0, 0).first_error, "malformed report: report 1, byte 40");
  Tally short_one(0);
  MakeReport(report, 1, 0);
  short_one.Take(report, kReportSize - 1, 0);
  EXPECT_EQ(short_one.Finish(1, 0, 0).errors, 1u);
  Tally beyond(0);
  Take(beyond, 5, 0, 1);
  EXPECT_EQ(beyond.Finish(4, 0, 0).first_error, "report 5 of 4 sent");
}

TEST(BenchTally, RateCpuAndLatencyFromSendTimesAndReceipts) {
  Tally tally(200);
  // 100 reports over 500 ms: 98 take 1 ms from send to receipt, two take 50 ms.
  for (std::uint64_t seq = 1; seq <= 100; ++seq) {
    const std::int64_t sent = static_cast<std::int64_t>(seq) * 5 - 5;
    Take(tally, seq, sent, sent + (seq >= 99 ? 50 : 1));
  }
  const Tally::Result r = tally.Finish(100, 0, 0.01);
  EXPECT_DOUBLE_EQ(r.rate, 100 / 0.545);
  EXPECT_DOUBLE_EQ(r.cpu_us, 100);
  EXPECT_DOUBLE_EQ(r.median_us, 1000);
  EXPECT_DOUBLE_EQ(r.p99_us, 50000);
}

TEST(BenchTally, LatencyIsKeptForAsManyReportsAsReserved) {
  Tally tally(2);
  Take(tally, 1, 0, 1);
  Take(tally, 2, 0, 2);
  Take(tally, 3, 0, 30);
  const Tally::Result r = tally.Finish(3, 0, 0);
  EXPECT_EQ(r.received, 3u);
  EXPECT_DOUBLE_EQ(r.median_us, 1000);
  EXPECT_DOUBLE_EQ(r.p99_us, 2000);
}

}  // namespace
}  // namespace vmtest
