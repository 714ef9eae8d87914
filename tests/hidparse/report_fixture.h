// A joystick-like descriptor for the report function tests, and reports made to
// its length. The layout, byte by byte after the report-ID byte:
//   1    buttons 1-8, one bit each
//   2    X, logical -128..127, no physical extents
//   3    Y, logical 0..255, physical 0..1000
//   4    hat switch in the low nibble, logical 0..7, physical 0..315, Null State
//   5    Rx, logical 0..15, physical 10..10 (cannot be scaled)
//   6    Ry, logical 0..100, no Null State
//   7-8  keyboard array of usages 0x08..0x10, two fields
//   9    LEDs: usage 4 (bit 0) and usage 6 (bit 1), declared in that order
// Input report length 10; no output or feature reports; no report IDs.
#pragma once

#include <vector>

#include "hidparse/report.h"
#include "test_support.h"

namespace hidparse_test {

inline constexpr char kJoystick[] =
    "05 01 09 04 A1 01"
    " 05 09 19 01 29 08 15 00 25 01 75 01 95 08 81 02"
    " 05 01 09 30 15 80 25 7F 75 08 95 01 81 02"
    " 09 31 15 00 26 FF 00 35 00 46 E8 03 81 02"
    " 09 39 15 00 25 07 35 00 46 3B 01 75 04 81 42 81 03"
    " 09 33 15 00 25 0F 35 0A 45 0A 75 08 81 02"
    " 09 34 15 00 25 64 35 00 45 00 81 02"
    " 05 07 19 08 29 10 15 00 25 08 95 02 81 00"
    " 05 08 09 04 09 06 15 00 25 01 75 01 81 02 75 06 95 01 81 03"
    " C0";

// Report 1: buttons 1-4; report 2: X. Input length 2.
inline constexpr char kTwoReports[] =
    "05 01 09 05 A1 01"
    " 85 01 05 09 19 01 29 04 15 00 25 01 75 01 95 04 81 02 75 04 95 01 81 03"
    " 85 02 05 01 09 30 15 00 26 FF 00 75 08 95 01 81 02"
    " C0";

class ReportTest : public ::testing::Test {
 protected:
  void Use(const char* hex) {
    result_ = ParseOk(hex);
    ASSERT_EQ(result_.collections.size(), 1u);
    data_ = result_.collections.front().get();
  }
  // A zeroed input report with `id` in byte 0.
  std::vector<char> Input(char id = 0) const {
    std::vector<char> report(data_->caps.InputReportByteLength, 0);
    report[0] = id;
    return report;
  }
  ULONG Length(const std::vector<char>& report) const {
    return static_cast<ULONG>(report.size());
  }
  // HidP_SetUsages of the first `*count` of `usages` on `page` in input report `report`.
  template <typename Usages>
  NTSTATUS SetInput(USAGE page, Usages& usages, ULONG* count, std::vector<char>& report) const {
    return hidparse::SetUsages(HidP_Input, page, 0, usages.data(), count, data_, report.data(),
                               Length(report));
  }
  // HidP_SetScaledUsageValue of `usage` on `page` in input report `report`.
  NTSTATUS SetScaledInput(USAGE page, USAGE usage, LONG value, std::vector<char>& report) const {
    return hidparse::SetScaledUsageValue(HidP_Input, page, 0, usage, value, data_, report.data(),
                                         Length(report));
  }
  void SetUp() override { Use(kJoystick); }

  hidparse::ParseResult result_;
  const hidparse::PreparsedData* data_ = nullptr;
};

}  // namespace hidparse_test
