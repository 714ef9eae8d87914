// HidP_InitializeReportForID, HidP_MaxUsageListLength, HidP_GetUsages,
// HidP_SetUsages and HidP_UnsetUsages. Expectations marked "(Windows)" come from
// Microsoft's documentation of each function or from conformance tests of hid.dll
// that pass on Windows; the rest follow from the descriptor's layout.
#include <algorithm>
#include <array>
#include <utility>

#include "report_fixture.h"

namespace hidparse_test {
namespace {

using hidparse::GetUsages;
using hidparse::SetUsages;
using hidparse::UnsetUsages;

constexpr USAGE kButton = 0x09;
constexpr USAGE kKeyboard = 0x07;
constexpr USAGE kLed = 0x08;

using InitializeReportForId = ReportTest;

TEST_F(InitializeReportForId, ChecksInWindowsOrderThenZeroesTheReport) {
  std::array<char, 16> report;
  report.fill('\xCD');
  const ULONG length = data_->caps.InputReportByteLength;
  EXPECT_EQ(hidparse::InitializeReportForId(HidP_Input, 0, nullptr, report.data(), length),
            HIDP_STATUS_INVALID_PREPARSED_DATA);
  EXPECT_EQ(hidparse::InitializeReportForId(static_cast<HIDP_REPORT_TYPE>(3), 0, data_,
                                            report.data(), length),
            HIDP_STATUS_INVALID_REPORT_TYPE);
  // (Windows) a length other than the caps' one; an ID the collection lacks.
  EXPECT_EQ(hidparse::InitializeReportForId(HidP_Input, 0, data_, report.data(), length + 1),
            HIDP_STATUS_INVALID_REPORT_LENGTH);
  EXPECT_EQ(hidparse::InitializeReportForId(HidP_Input, 1, data_, report.data(), length),
            HIDP_STATUS_REPORT_DOES_NOT_EXIST);
  // (Windows) a report type without reports: its length 0 matches, its ID does not exist.
  EXPECT_EQ(hidparse::InitializeReportForId(HidP_Output, 0, data_, report.data(), 0),
            HIDP_STATUS_REPORT_DOES_NOT_EXIST);
  EXPECT_EQ(report[0], '\xCD');

  // (Windows) the report's bytes become 0 with the ID in byte 0; nothing beyond it changes.
  ASSERT_EQ(hidparse::InitializeReportForId(HidP_Input, 0, data_, report.data(), length),
            HIDP_STATUS_SUCCESS);
  for (ULONG i = 0; i < length; ++i) EXPECT_EQ(report[i], 0) << "byte " << i;
  EXPECT_EQ(report[length], '\xCD');

  Use(kTwoReports);
  ASSERT_EQ(hidparse::InitializeReportForId(HidP_Input, 2, data_, report.data(), 2),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(report[0], 2);
  EXPECT_EQ(hidparse::InitializeReportForId(HidP_Input, 0, data_, report.data(), 2),
            HIDP_STATUS_REPORT_DOES_NOT_EXIST);
}

using MaxUsageListLength = ReportTest;

TEST_F(MaxUsageListLength, CountsTheButtonsOneReportCanHoldPerPage) {
  // (Windows) an invalid report type, or a page with no buttons, gives 0.
  EXPECT_EQ(hidparse::MaxUsageListLength(static_cast<HIDP_REPORT_TYPE>(3), 0, data_), 0u);
  EXPECT_EQ(hidparse::MaxUsageListLength(HidP_Input, 0x0C, data_), 0u);
  EXPECT_EQ(hidparse::MaxUsageListLength(HidP_Output, 0, data_), 0u);
  EXPECT_EQ(hidparse::MaxUsageListLength(HidP_Input, 0, nullptr), 0u);
  EXPECT_EQ(hidparse::MaxUsageListLength(HidP_Input, kButton, data_), 8u);
  // An array holds one usage per field, however many usages it names.
  EXPECT_EQ(hidparse::MaxUsageListLength(HidP_Input, kKeyboard, data_), 2u);
  EXPECT_EQ(hidparse::MaxUsageListLength(HidP_Input, kLed, data_), 2u);
  // (Windows) page 0 counts every page.
  EXPECT_EQ(hidparse::MaxUsageListLength(HidP_Input, 0, data_), 12u);
}

TEST_F(MaxUsageListLength, CountsAnArrayOfSeveralUsagesOnce) {
  // One array of three named usages over four fields: three caps, four usages at most.
  Use("05 0C 09 01 A1 01 09 E9 09 EA 09 E2 15 01 25 03 75 02 95 04 81 00 C0");
  ASSERT_EQ(data_->caps.NumberInputButtonCaps, 3);
  EXPECT_EQ(hidparse::MaxUsageListLength(HidP_Input, 0x0C, data_), 4u);
}

TEST_F(MaxUsageListLength, TellsApartArraysThatStartAtTheSameBit) {
  // An array of Report Size 0 takes no bits: the array after it starts at the
  // same position, and each still counts its fields.
  Use("05 0C 09 01 A1 01 09 E9 09 EA 15 01 25 02 75 00 95 03 81 00"
      " 09 E2 75 08 95 02 81 00 C0");
  EXPECT_EQ(hidparse::MaxUsageListLength(HidP_Input, 0x0C, data_), 5u);

  // An array from usage 0 holds usages by their numbers; the array after it is
  // still an item of its own (a fuzzed descriptor made GetUsagesEx overrun the
  // length this gave when the two were taken for one).
  Use("05 07 09 06 A1 01 09 00 15 00 25 01 75 08 95 02 81 00"
      " 09 01 95 03 81 00 C0");
  EXPECT_EQ(hidparse::MaxUsageListLength(HidP_Input, 0x07, data_), 5u);
  std::vector<char> report = Input();
  std::fill(report.begin() + 1, report.end(), 1);
  std::vector<USAGE_AND_PAGE> usages(5);
  ULONG count = 5;
  EXPECT_EQ(hidparse::GetUsagesEx(HidP_Input, 0, usages.data(), &count, data_, report.data(),
                                  Length(report)),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(count, 3u);  // the second array's three fields; 1 names no usage of the first
}

using GetUsagesTest = ReportTest;

TEST_F(GetUsagesTest, ReturnsThePressedUsagesInStoredOrder) {
  std::vector<char> report = Input();
  report[1] = 0x28;                  // buttons 4 and 6
  report[7] = 2;                     // array indices are 1-based: usage 0x09
  report[8] = 4;                     // usage 0x0B
  report[9] = 3;                     // both LEDs
  std::array<USAGE, 8> usages{};
  ULONG count = usages.size();
  ASSERT_EQ(GetUsages(HidP_Input, kButton, 0, usages.data(), &count, data_, report.data(),
                      Length(report)),
            HIDP_STATUS_SUCCESS);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(usages[0], 4);
  EXPECT_EQ(usages[1], 6);

  count = usages.size();
  ASSERT_EQ(GetUsages(HidP_Input, kKeyboard, 0, usages.data(), &count, data_, report.data(),
                      Length(report)),
            HIDP_STATUS_SUCCESS);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(usages[0], 0x09);
  EXPECT_EQ(usages[1], 0x0B);

  // (Windows) LEDs 4 then 6 declared: stored 6 first, so returned 6, 4.
  count = usages.size();
  ASSERT_EQ(GetUsages(HidP_Input, kLed, 0, usages.data(), &count, data_, report.data(),
                      Length(report)),
            HIDP_STATUS_SUCCESS);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(usages[0], 6);
  EXPECT_EQ(usages[1], 4);

  // Indices beyond the array's usages name nothing.
  report[7] = 10;
  report[8] = 0;
  count = usages.size();
  EXPECT_EQ(GetUsages(HidP_Input, kKeyboard, 0, usages.data(), &count, data_, report.data(),
                      Length(report)),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(count, 0u);
}

// A keyboard's key array (HID 1.11 Appendix B.1) lists usages 0-101 from usage
// 0, so each field holds the key's own usage: 0x04 is "a". Windows reads every
// boot keyboard this way; 1-based indices would make it usage 3.
TEST_F(GetUsagesTest, AnArrayFromUsageZeroHoldsEachUsageAsItsOwnNumber) {
  Use("05 01 09 06 A1 01 05 07 19 E0 29 E7 15 00 25 01 75 01 95 08 81 02"
      " 95 01 75 08 81 03 95 06 75 08 15 00 25 65 19 00 29 65 81 00 C0");
  std::vector<char> report = Input();
  report[3] = 0x04;
  report[4] = 0x29;
  std::array<USAGE, 8> usages{};
  ULONG count = usages.size();
  ASSERT_EQ(GetUsages(HidP_Input, kKeyboard, 0, usages.data(), &count, data_, report.data(),
                      Length(report)),
            HIDP_STATUS_SUCCESS);
  std::vector<USAGE> keys(usages.begin(), usages.begin() + count);
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(keys, (std::vector<USAGE>{0x04, 0x29}));

  std::array<USAGE, 1> key = {0x1E};
  count = 1;
  ASSERT_EQ(SetUsages(HidP_Input, kKeyboard, 0, key.data(), &count, data_, report.data(),
                      Length(report)),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(report[5], 0x1E);
  // GetData names the same keys: eight modifier indices, then one per usage from 0.
  std::array<HIDP_DATA, 16> list{};
  count = list.size();
  ASSERT_EQ(hidparse::GetData(HidP_Input, list.data(), &count, data_, report.data(),
                              Length(report)),
            HIDP_STATUS_SUCCESS);
  ASSERT_EQ(count, 3u);
  EXPECT_EQ(list[0].DataIndex, 8 + 0x04);
  EXPECT_EQ(list[1].DataIndex, 8 + 0x1E);
  EXPECT_EQ(list[2].DataIndex, 8 + 0x29);
}

TEST_F(GetUsagesTest, ShortListsAndWrongReportsGetWindowsStatuses) {
  std::vector<char> report = Input();
  report[1] = 0x28;
  std::array<USAGE, 2> usages{};
  // (Windows) a list too short: BUFFER_TOO_SMALL with the count needed.
  ULONG count = 1;
  EXPECT_EQ(GetUsages(HidP_Input, kButton, 0, usages.data(), &count, data_, report.data(),
                      Length(report)),
            HIDP_STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(usages[0], 4);
  EXPECT_EQ(usages[1], 0);  // nothing written past the room given

  count = 2;
  EXPECT_EQ(GetUsages(HidP_Input, 0x0C, 0, usages.data(), &count, data_, report.data(),
                      Length(report)),
            HIDP_STATUS_USAGE_NOT_FOUND);
  EXPECT_EQ(GetUsages(HidP_Input, kButton, 0, usages.data(), &count, data_, report.data(),
                      Length(report) - 1),
            HIDP_STATUS_INVALID_REPORT_LENGTH);
  EXPECT_EQ(GetUsages(HidP_Input, kButton, 0, usages.data(), nullptr, data_, report.data(),
                      Length(report)),
            HIDP_STATUS_INTERNAL_ERROR);

  // The buttons are in report 1; report 2 carries none.
  Use(kTwoReports);
  std::vector<char> two = Input(2);
  count = 2;
  EXPECT_EQ(GetUsages(HidP_Input, kButton, 0, usages.data(), &count, data_, two.data(),
                      Length(two)),
            HIDP_STATUS_INCOMPATIBLE_REPORT_ID);
}

TEST_F(GetUsagesTest, ExListsEveryPageInStoredOrder) {
  std::vector<char> report = Input();
  report[1] = 0x28;
  report[7] = 2;
  report[8] = 4;
  report[9] = 3;
  std::array<USAGE_AND_PAGE, 8> usages{};
  ULONG count = usages.size();
  ASSERT_EQ(hidparse::GetUsagesEx(HidP_Input, 0, usages.data(), &count, data_, report.data(),
                                  Length(report)),
            HIDP_STATUS_SUCCESS);
  // (Windows) buttons, then keyboard, then LEDs, each as GetUsages gives them.
  const std::array<std::pair<USAGE, USAGE>, 6> expected = {
      {{kButton, 4}, {kButton, 6}, {kKeyboard, 9}, {kKeyboard, 11}, {kLed, 6}, {kLed, 4}}};
  ASSERT_EQ(count, expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(usages[i].UsagePage, expected[i].first) << i;
    EXPECT_EQ(usages[i].Usage, expected[i].second) << i;
  }
  count = 5;
  EXPECT_EQ(hidparse::GetUsagesEx(HidP_Input, 0, usages.data(), &count, data_, report.data(),
                                  Length(report)),
            HIDP_STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(count, 6u);
}

using SetUsagesTest = ReportTest;

TEST_F(SetUsagesTest, SetsBitsAndArrayIndicesStoppingAtTheFirstFailure) {
  std::vector<char> report = Input();
  // (Windows) an unknown usage stops the list: button 2 after it is not set.
  std::array<USAGE, 3> usages = {0xFF, 2, 0};
  ULONG count = 2;
  EXPECT_EQ(SetInput(kButton, usages, &count, report),
            HIDP_STATUS_USAGE_NOT_FOUND);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(report[1], 0);

  usages = {4, 6, 0};
  count = 2;
  ASSERT_EQ(SetInput(kButton, usages, &count, report),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(report[1], 0x28);

  // Declared first, LED 4 is bit 0 although its cap is stored second.
  usages = {4, 0, 0};
  count = 1;
  ASSERT_EQ(SetInput(kLed, usages, &count, report),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(report[9], 1);

  // (Windows) an array takes 1-based indices while it has free fields; the usage
  // that finds none gets BUFFER_TOO_SMALL. One already held is not held twice.
  usages = {0x09, 0x09, 0x0B};
  count = 3;
  ASSERT_EQ(SetInput(kKeyboard, usages, &count, report),
            HIDP_STATUS_SUCCESS);
  usages = {0x0A, 0, 0};
  count = 1;
  EXPECT_EQ(SetInput(kKeyboard, usages, &count, report),
            HIDP_STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(report[7], 2);
  EXPECT_EQ(report[8], 4);
}

TEST_F(SetUsagesTest, NeverStoresAnIndexItsFieldCannotHold) {
  // Five usages in 2-bit fields: indices 4 and 5 would be stored as 0 and 1,
  // which is no usage and the first usage.
  Use("05 0C 09 01 A1 01 19 E0 29 E4 15 01 25 03 75 02 95 04 81 00 C0");
  std::vector<char> report = Input();
  std::array<USAGE, 2> usages = {0xE2, 0xE4};
  ULONG count = 2;
  EXPECT_EQ(SetInput(0x0C, usages, &count, report),
            HIDP_STATUS_USAGE_NOT_FOUND);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(report[1], 3);  // 0xE2 as index 3, 0xE4 nowhere
}

TEST_F(SetUsagesTest, TheReportIdInByteZeroMustCarryTheUsage) {
  std::array<USAGE, 1> usages = {1};
  ULONG count = 1;
  // (Windows) byte 0 is the report ID also without report IDs: it must then be 0.
  std::vector<char> report = Input(1);
  EXPECT_EQ(SetInput(kButton, usages, &count, report),
            HIDP_STATUS_INCOMPATIBLE_REPORT_ID);

  EXPECT_EQ(count, 0u);

  Use(kTwoReports);
  std::vector<char> two = Input(2);
  count = 1;
  EXPECT_EQ(SetUsages(HidP_Input, kButton, 0, usages.data(), &count, data_, two.data(),
                      Length(two)),
            HIDP_STATUS_INCOMPATIBLE_REPORT_ID);
  EXPECT_EQ(two[1], 0);
  std::vector<char> one = Input(1);
  count = 1;
  ASSERT_EQ(SetUsages(HidP_Input, kButton, 0, usages.data(), &count, data_, one.data(),
                      Length(one)),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(one[1], 1);
}

using UnsetUsagesTest = ReportTest;

TEST_F(UnsetUsagesTest, ClearsPressedUsagesAndReportsTheOthers) {
  std::vector<char> report = Input();
  std::array<USAGE, 2> keys = {0x0B, 0x09};
  ULONG count = 2;
  ASSERT_EQ(SetUsages(HidP_Input, kKeyboard, 0, keys.data(), &count, data_, report.data(),
                      Length(report)),
            HIDP_STATUS_SUCCESS);
  // (Windows) the array fields go back to 0; a second unset finds the usage not pressed.
  ASSERT_EQ(UnsetUsages(HidP_Input, kKeyboard, 0, keys.data(), &count, data_, report.data(),
                        Length(report)),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(report[7], 0);
  EXPECT_EQ(report[8], 0);
  EXPECT_EQ(UnsetUsages(HidP_Input, kKeyboard, 0, keys.data(), &count, data_, report.data(),
                        Length(report)),
            HIDP_STATUS_BUTTON_NOT_PRESSED);
  EXPECT_EQ(count, 0u);

  report[1] = 0x03;  // buttons 1 and 2
  std::array<USAGE, 2> buttons = {2, 3};
  count = 2;
  EXPECT_EQ(UnsetUsages(HidP_Input, kButton, 0, buttons.data(), &count, data_, report.data(),
                        Length(report)),
            HIDP_STATUS_BUTTON_NOT_PRESSED);
  EXPECT_EQ(count, 1u);  // the index of the usage that failed
  EXPECT_EQ(report[1], 0x01);
}

}  // namespace
}  // namespace hidparse_test
