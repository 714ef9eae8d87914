// HidP_GetUsageValue, HidP_SetUsageValue, HidP_GetScaledUsageValue and
// HidP_SetScaledUsageValue. Expectations marked "(Windows)" come from Microsoft's
// documentation of each function or from conformance tests of hid.dll that pass
// on Windows; the rest follow from the descriptor's layout.
#include <string>

#include "report_fixture.h"

namespace hidparse_test {
namespace {

using hidparse::GetScaledUsageValue;
using hidparse::GetUsageValue;
using hidparse::SetUsageValue;

constexpr USAGE kDesktop = 0x01;
constexpr USAGE kX = 0x30, kY = 0x31, kRx = 0x33, kRy = 0x34, kHat = 0x39;

using UsageValue = ReportTest;

TEST_F(UsageValue, ReadsAndWritesTheRawBitsOfItsOwnField) {
  std::vector<char> report = Input();
  report[2] = report[4] = '\x77';
  // (Windows) -128 into an 8-bit field reads back as 0x80: raw bits, no sign.
  ASSERT_EQ(SetUsageValue(HidP_Input, kDesktop, 0, kY, static_cast<ULONG>(-128), data_,
                          report.data(), Length(report)),
            HIDP_STATUS_SUCCESS);
  ULONG value = 0;
  ASSERT_EQ(GetUsageValue(HidP_Input, kDesktop, 0, kY, &value, data_, report.data(),
                          Length(report)),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(value, 0x80u);
  EXPECT_EQ(report[2], '\x77');
  EXPECT_EQ(report[4], '\x77');
  // The hat is the low nibble of byte 4: the padding beside it keeps its bits.
  ASSERT_EQ(SetUsageValue(HidP_Input, kDesktop, 0, kHat, 0x1F, data_, report.data(),
                          Length(report)),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(report[4], '\x7F');
}

TEST_F(UsageValue, StatusesComeInWindowsOrder) {
  std::vector<char> report = Input();
  ULONG value = 0xDEADBEEF;
  EXPECT_EQ(GetUsageValue(HidP_Input, kDesktop, 0, kX, &value, nullptr, report.data(),
                          Length(report)),
            HIDP_STATUS_INVALID_PREPARSED_DATA);
  EXPECT_EQ(GetUsageValue(static_cast<HIDP_REPORT_TYPE>(3), kDesktop, 0, kX, &value, data_,
                          report.data(), Length(report)),
            HIDP_STATUS_INVALID_REPORT_TYPE);
  // (Windows) one byte too long is the wrong length.
  EXPECT_EQ(SetUsageValue(HidP_Input, kDesktop, 0, kX, 1, data_, report.data(),
                          Length(report) + 1),
            HIDP_STATUS_INVALID_REPORT_LENGTH);
  // (Windows) a button usage is no value; an unknown link collection holds nothing.
  EXPECT_EQ(GetUsageValue(HidP_Input, 0x08, 0, 6, &value, data_, report.data(), Length(report)),
            HIDP_STATUS_USAGE_NOT_FOUND);
  EXPECT_EQ(value, 0xDEADBEEFu);
  EXPECT_EQ(SetUsageValue(HidP_Input, kDesktop, 0xDEAD, kX, 1, data_, report.data(),
                          Length(report)),
            HIDP_STATUS_USAGE_NOT_FOUND);
  EXPECT_EQ(SetUsageValue(HidP_Input, kDesktop, 0, kX, 1, data_, nullptr, Length(report)),
            HIDP_STATUS_INVALID_REPORT_LENGTH);
  // (Windows) a report ID the usage is not in: without report IDs byte 0 must be 0.
  report[0] = 1;
  EXPECT_EQ(GetUsageValue(HidP_Input, kDesktop, 0, kX, &value, data_, report.data(),
                          Length(report)),
            HIDP_STATUS_INCOMPATIBLE_REPORT_ID);

  Use(kTwoReports);
  std::vector<char> one = Input(1);
  EXPECT_EQ(SetUsageValue(HidP_Input, kDesktop, 0, kX, 7, data_, one.data(), Length(one)),
            HIDP_STATUS_INCOMPATIBLE_REPORT_ID);
  EXPECT_EQ(one[1], 0);
  std::vector<char> two = Input(2);
  ASSERT_EQ(SetUsageValue(HidP_Input, kDesktop, 0, kX, 7, data_, two.data(), Length(two)),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(two[1], 7);
}

using ScaledUsageValue = ReportTest;

TEST_F(ScaledUsageValue, GetScalesLogicalToPhysical) {
  std::vector<char> report = Input();
  report[2] = '\x80';
  report[3] = 51;
  report[4] = 6;
  LONG value = 0;
  // (Windows) without physical extents the value is the signed logical one.
  ASSERT_EQ(GetScaledUsageValue(HidP_Input, kDesktop, 0, kX, &value, data_, report.data(),
                                Length(report)),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(value, -128);
  ASSERT_EQ(GetScaledUsageValue(HidP_Input, kDesktop, 0, kY, &value, data_, report.data(),
                                Length(report)),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(value, 200);  // 51 of 0..255 is 200 of 0..1000
  ASSERT_EQ(GetScaledUsageValue(HidP_Input, kDesktop, 0, kHat, &value, data_, report.data(),
                                Length(report)),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(value, 270);
}

TEST_F(ScaledUsageValue, GetRefusesValuesItCannotScale) {
  std::vector<char> report = Input();
  report[4] = 8;    // hat beyond its logical maximum: its null value
  report[6] = 101;  // Ry beyond 0..100, which has no null value
  LONG value = 7;
  // (Windows) out of range: the value written back is 0.
  EXPECT_EQ(GetScaledUsageValue(HidP_Input, kDesktop, 0, kHat, &value, data_, report.data(),
                                Length(report)),
            HIDP_STATUS_NULL);
  EXPECT_EQ(value, 0);
  value = 7;
  EXPECT_EQ(GetScaledUsageValue(HidP_Input, kDesktop, 0, kRy, &value, data_, report.data(),
                                Length(report)),
            HIDP_STATUS_VALUE_OUT_OF_RANGE);
  EXPECT_EQ(value, 0);
  // (Windows) a physical range with minimum equal to maximum cannot be scaled.
  value = 7;
  EXPECT_EQ(GetScaledUsageValue(HidP_Input, kDesktop, 0, kRx, &value, data_, report.data(),
                                Length(report)),
            HIDP_STATUS_BAD_LOG_PHY_VALUES);
  EXPECT_EQ(value, 0);
}

TEST_F(ScaledUsageValue, SetScalesPhysicalToLogical) {
  std::vector<char> report = Input();
  ASSERT_EQ(SetScaledInput(kDesktop, kY, 200, report),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(report[3], 51);
  ASSERT_EQ(SetScaledInput(kDesktop, kX, -5, report),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(report[2], '\xFB');
  ASSERT_EQ(SetScaledInput(kDesktop, kHat, 90, report),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(report[4], 2);

  // (Windows) beyond the physical range: the null value where the usage has one,
  // else VALUE_OUT_OF_RANGE and the report unchanged.
  EXPECT_EQ(SetScaledInput(kDesktop, kHat, 400, report),
            HIDP_STATUS_NULL);
  EXPECT_EQ(report[4], 8);
  EXPECT_EQ(SetScaledInput(kDesktop, kY, 1001, report),
            HIDP_STATUS_VALUE_OUT_OF_RANGE);
  EXPECT_EQ(report[3], 51);
  // (Windows) and nothing is scaled into a range that cannot scale.
  EXPECT_EQ(SetScaledInput(kDesktop, kRx, 10, report),
            HIDP_STATUS_BAD_LOG_PHY_VALUES);
  EXPECT_EQ(report[5], 0);
}

TEST_F(ScaledUsageValue, FullWidthExtentsScaleWithoutOverflow) {
  // A 32-bit X over the whole signed range, physical 0..2^31-1.
  Use("05 01 09 04 A1 01 09 30 17 00 00 00 80 27 FF FF FF 7F 35 00 47 FF FF FF 7F"
      " 75 20 95 01 81 02 C0");
  std::vector<char> report = Input();
  LONG value = 0;
  ASSERT_EQ(GetScaledUsageValue(HidP_Input, kDesktop, 0, kX, &value, data_, report.data(),
                                Length(report)),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(value, 1073741823);  // logical 0 is just below the middle
  ASSERT_EQ(SetUsageValue(HidP_Input, kDesktop, 0, kX, 0x80000000u, data_, report.data(),
                          Length(report)),
            HIDP_STATUS_SUCCESS);
  ASSERT_EQ(GetScaledUsageValue(HidP_Input, kDesktop, 0, kX, &value, data_, report.data(),
                                Length(report)),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(value, 0);
  ASSERT_EQ(SetScaledInput(kDesktop, kX, 1000, report),
            HIDP_STATUS_SUCCESS);
  ULONG raw = 0;
  ASSERT_EQ(GetUsageValue(HidP_Input, kDesktop, 0, kX, &raw, data_, report.data(),
                          Length(report)),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(raw, 0x800007D0u);
}

using UsageValueArray = ReportTest;

// Four bits of padding, X as four 16-bit fields, Y as two 4-bit fields, Z alone.
constexpr char kArrays[] =
    "05 01 09 04 A1 01 75 04 95 01 81 03 09 30 15 00 26 FF 7F 75 10 95 04 81 02"
    " 09 31 25 0F 75 04 95 02 81 02 09 32 75 08 95 01 81 02 C0";

TEST_F(UsageValueArray, CopiesEveryFieldAsTheReportPacksThem) {
  Use(kArrays);
  std::vector<char> report = Input();
  report[1] = 0x0F;  // the padding
  const char values[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_EQ(hidparse::SetUsageValueArray(HidP_Input, kDesktop, 0, kX, values, 8, data_,
                                         report.data(), Length(report)),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(report[1], 0x1F);  // X starts at bit 4, beside the padding
  EXPECT_EQ(report[2], 0x20);
  EXPECT_EQ(report[8], '\x80');  // the last value byte straddles bytes 8 and 9
  char read[9] = {};
  ASSERT_EQ(hidparse::GetUsageValueArray(HidP_Input, kDesktop, 0, kX, read, 9, data_,
                                         report.data(), Length(report)),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(std::string(read, 8), std::string(values, 8));
  EXPECT_EQ(read[8], 0);  // nothing beyond the array's bytes
  ULONG first = 0;
  ASSERT_EQ(GetUsageValue(HidP_Input, kDesktop, 0, kX, &first, data_, report.data(),
                          Length(report)),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(first, 0x0201u);
}

TEST_F(UsageValueArray, RefusesOtherValuesShortBuffersAndPartialBytes) {
  Use(kArrays);
  std::vector<char> report = Input();
  char buffer[8] = {};
  // (Windows) a plain value is not an array; the buffer is checked before the
  // field size; 4-bit fields are not copied.
  EXPECT_EQ(hidparse::GetUsageValueArray(HidP_Input, kDesktop, 0, 0x32, buffer, 8, data_,
                                         report.data(), Length(report)),
            HIDP_STATUS_NOT_VALUE_ARRAY);
  EXPECT_EQ(hidparse::SetUsageValueArray(HidP_Input, kDesktop, 0, kX, buffer, 7, data_,
                                         report.data(), Length(report)),
            HIDP_STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(hidparse::GetUsageValueArray(HidP_Input, kDesktop, 0, kY, buffer, 0, data_,
                                         report.data(), Length(report)),
            HIDP_STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(hidparse::GetUsageValueArray(HidP_Input, kDesktop, 0, kY, buffer, 8, data_,
                                         report.data(), Length(report)),
            HIDP_STATUS_NOT_IMPLEMENTED);
  EXPECT_EQ(hidparse::SetUsageValueArray(HidP_Input, kDesktop, 0, kY, buffer, 8, data_,
                                         report.data(), Length(report)),
            HIDP_STATUS_NOT_IMPLEMENTED);
  EXPECT_EQ(std::string(report.begin(), report.end()), std::string(report.size(), '\0'));
}

}  // namespace
}  // namespace hidparse_test
