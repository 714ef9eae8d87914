// HidP_MaxDataListLength, HidP_GetData and HidP_SetData. Expectations marked
// "(Windows)" come from Microsoft's documentation of each function or from
// conformance tests of hid.dll that pass on Windows; the rest follow from the
// descriptor's layout. The fixture's input data indices: buttons 0-7, X 8, Y 9,
// hat 10, Rx 11, Ry 12, keyboard array 13-21, LED 6 22, LED 4 23.
#include <algorithm>
#include <array>
#include <utility>

#include "report_fixture.h"

namespace hidparse_test {
namespace {

// X over two fields (a usage value array) and a range of eight usages over two.
constexpr char kValueArrays[] =
    "05 01 09 04 A1 01 09 30 15 00 25 0F 75 04 95 02 81 02"
    " 19 31 29 38 25 7F 75 08 81 02 C0";

HIDP_DATA Entry(USHORT data_index, ULONG value) {
  HIDP_DATA entry{};
  entry.DataIndex = data_index;
  entry.RawValue = value;
  return entry;
}

using MaxDataListLength = ReportTest;

TEST_F(MaxDataListLength, CountsButtonsAndValuesButNotValueArrays) {
  // (Windows) an invalid report type, or one without reports, gives 0.
  EXPECT_EQ(hidparse::MaxDataListLength(static_cast<HIDP_REPORT_TYPE>(3), data_), 0u);
  EXPECT_EQ(hidparse::MaxDataListLength(HidP_Output, data_), 0u);
  EXPECT_EQ(hidparse::MaxDataListLength(HidP_Input, nullptr), 0u);
  EXPECT_EQ(hidparse::MaxDataListLength(HidP_Input, data_), 12u + 5u);
  Use(kValueArrays);
  EXPECT_EQ(hidparse::MaxDataListLength(HidP_Input, data_), 2u);  // the range's two fields
}

using GetData = ReportTest;

TEST_F(GetData, ListsPressedButtonsAndEveryValueByDataIndex) {
  std::vector<char> report = Input();
  report[1] = 0x28;    // buttons 4 and 6
  report[2] = '\x80';  // X
  report[4] = 8;       // the hat's null value: GetData gives raw bits
  report[7] = 4;       // keyboard 0x0B, then 0x09: listed by data index
  report[8] = 2;
  report[9] = 3;  // both LEDs
  std::array<HIDP_DATA, 16> data{};
  ULONG count = data.size();
  ASSERT_EQ(hidparse::GetData(HidP_Input, data.data(), &count, data_, report.data(),
                              Length(report)),
            HIDP_STATUS_SUCCESS);
  // (Windows) values are listed at 0 too; buttons only when on, with RawValue 1.
  const std::array<std::pair<USHORT, ULONG>, 11> expected = {{{3, 1},
                                                              {5, 1},
                                                              {8, 0x80},
                                                              {9, 0},
                                                              {10, 8},
                                                              {11, 0},
                                                              {12, 0},
                                                              {14, 1},
                                                              {16, 1},
                                                              {22, 1},
                                                              {23, 1}}};
  ASSERT_EQ(count, expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(data[i].DataIndex, expected[i].first) << i;
    EXPECT_EQ(data[i].RawValue, expected[i].second) << i;
  }
  // (Windows) a short list: BUFFER_TOO_SMALL and the count needed.
  count = 1;
  EXPECT_EQ(hidparse::GetData(HidP_Input, data.data(), &count, data_, report.data(),
                              Length(report)),
            HIDP_STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(count, 11u);
}

TEST_F(GetData, LeavesValueArraysOutAndRefusesUnknownReports) {
  std::vector<char> report = Input(1);
  std::array<HIDP_DATA, 4> data{};
  ULONG count = data.size();
  EXPECT_EQ(hidparse::GetData(HidP_Input, data.data(), &count, data_, report.data(),
                              Length(report)),
            HIDP_STATUS_REPORT_DOES_NOT_EXIST);
  EXPECT_EQ(hidparse::GetData(HidP_Input, data.data(), &count, data_, report.data(),
                              Length(report) - 1),
            HIDP_STATUS_INVALID_REPORT_LENGTH);

  Use(kValueArrays);
  report = Input();
  report[1] = '\x21';
  report[2] = 5;
  report[3] = 6;
  count = data.size();
  ASSERT_EQ(hidparse::GetData(HidP_Input, data.data(), &count, data_, report.data(),
                              Length(report)),
            HIDP_STATUS_SUCCESS);
  // (Windows) the value array (data index 0) is not listed; the range is, per field.
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(data[0].DataIndex, 1);
  EXPECT_EQ(data[0].RawValue, 5u);
  EXPECT_EQ(data[1].DataIndex, 2);
  EXPECT_EQ(data[1].RawValue, 6u);
}

// Several usages on one item are stored last-declared first (Z, Y, X: data
// indices 0-2), so GetData reads their fields from the last to the first; the
// wheel after them, one more data index, lies after them in the report.
TEST_F(GetData, ReadsAnItemsUsagesInDataIndexOrderWhateverTheirPlaceInTheReport) {
  Use("05 01 09 04 A1 01 09 30 09 31 09 32 15 00 26 FF 7F 75 10 95 03 81 02"
      " 09 38 95 01 81 02 C0");
  std::vector<char> report = Input();
  const char fields[] = {0x11, 0x01, 0x22, 0x02, 0x33, 0x03, 0x44, 0x04};  // X, Y, Z, wheel
  std::copy(std::begin(fields), std::end(fields), report.begin() + 1);
  std::array<HIDP_DATA, 4> data{};
  ULONG count = data.size();
  ASSERT_EQ(hidparse::GetData(HidP_Input, data.data(), &count, data_, report.data(),
                              Length(report)),
            HIDP_STATUS_SUCCESS);
  ASSERT_EQ(count, 4u);
  const std::array<std::pair<USHORT, ULONG>, 4> expected = {
      {{0, 0x0333}, {1, 0x0222}, {2, 0x0111}, {3, 0x0444}}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(data[i].DataIndex, expected[i].first) << i;
    EXPECT_EQ(data[i].RawValue, expected[i].second) << i;
  }
}

using SetData = ReportTest;

TEST_F(SetData, SetsButtonsAndValuesByDataIndex) {
  std::vector<char> report = Input();
  std::array<HIDP_DATA, 3> data = {Entry(5, 1), Entry(9, 200), Entry(15, 1)};
  ULONG count = data.size();
  ASSERT_EQ(hidparse::SetData(HidP_Input, data.data(), &count, data_, report.data(),
                              Length(report)),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(report[1], 0x20);      // button 6
  EXPECT_EQ(report[3], '\xC8');    // Y
  EXPECT_EQ(report[7], 3);         // keyboard 0x0A: the array's third usage
  data[0] = Entry(5, 0);
  data[1] = Entry(15, 0);
  count = 2;
  ASSERT_EQ(hidparse::SetData(HidP_Input, data.data(), &count, data_, report.data(),
                              Length(report)),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(report[1], 0);
  EXPECT_EQ(report[7], 0);
}

TEST_F(SetData, StopsAtTheFirstEntryItCannotSet) {
  std::vector<char> report = Input();
  std::array<HIDP_DATA, 3> data = {Entry(0, 1), Entry(24, 1), Entry(1, 1)};
  ULONG count = data.size();
  EXPECT_EQ(hidparse::SetData(HidP_Input, data.data(), &count, data_, report.data(),
                              Length(report)),
            HIDP_STATUS_DATA_INDEX_OUT_OF_RANGE);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(report[1], 1);  // the entry before it was set, the one after it not

  Use(kValueArrays);
  report = Input();
  data = {Entry(0, 1), Entry(5, 1), Entry(0, 0)};
  count = 1;
  EXPECT_EQ(hidparse::SetData(HidP_Input, data.data(), &count, data_, report.data(),
                              Length(report)),
            HIDP_STATUS_IS_VALUE_ARRAY);
  count = 1;
  EXPECT_EQ(hidparse::SetData(HidP_Input, data.data() + 1, &count, data_, report.data(),
                              Length(report)),
            HIDP_STATUS_DATA_INDEX_NOT_FOUND);  // a range usage beyond the item's fields

  Use(kTwoReports);
  report = Input(1);
  data = {Entry(4, 7), Entry(0, 0), Entry(0, 0)};
  count = 1;
  EXPECT_EQ(hidparse::SetData(HidP_Input, data.data(), &count, data_, report.data(),
                              Length(report)),
            HIDP_STATUS_INCOMPATIBLE_REPORT_ID);  // X is in report 2
  EXPECT_EQ(report[1], 0);
}

}  // namespace
}  // namespace hidparse_test
