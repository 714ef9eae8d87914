// The HID library binding's result rules: string lengths, FALSE results, non-zero
// BOOLEANs, the preparsed-data handle, and missing entry points.
#include <gtest/gtest.h>

#include "fake_hid_module.h"
#include "qzhidw32/qzhidw32.h"

namespace {

class HidBinding : public ::testing::Test {
 protected:
  void SetUp() override {
    fakehid::script() = {};
    qzplatform::RevealAll();
    qzplatform::SetGround(std::make_shared<fakehid::Ground>());
  }
  void TearDown() override {
    qzplatform::RevealAll();
    qzplatform::SetGround(nullptr);
  }
  HANDLE device = reinterpret_cast<HANDLE>(0x40);
};

TEST_F(HidBinding, StringsShorterThanThreeCharactersAreEmpty) {
  auto& s = fakehid::script();
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"", u""},
      {u"AB", u""},
      {u"ABC", u"ABC"},
      {std::u16string(63, u'x'), std::u16string(63, u'x')},
      // A 64-character string fills the 126-byte buffer; the text stops at 63 units.
      {std::u16string(64, u'y'), std::u16string(63, u'y')},
  };
  for (const auto& [given, expected] : cases) {
    s.string_text = given;
    SCOPED_TRACE(given.size());
    EXPECT_EQ(qz::HidD_GetProductString(device), expected);
    EXPECT_EQ(qz::HidD_GetManufacturerString(device), expected);
    EXPECT_EQ(qz::HidD_GetSerialNumberString(device), expected);
    EXPECT_EQ(qz::HidD_GetIndexedString(device, 3), expected);
  }
  EXPECT_EQ(s.last_buffer_length, 126u);
  EXPECT_EQ(s.last_string_index, 3u);
}

TEST_F(HidBinding, FailedStringCallIsEmptyEvenWithTextInTheBuffer) {
  fakehid::script().string_text = u"Product";
  fakehid::script().string_result = FALSE;
  EXPECT_EQ(qz::HidD_GetProductString(device), u"");
  EXPECT_EQ(qz::HidD_GetIndexedString(device, 1), u"");
}

TEST_F(HidBinding, ReportCallsAreTrueForAnyNonZeroResult) {
  unsigned char report[8] = {};
  for (BOOLEAN result : {BOOLEAN(1), BOOLEAN(2), BOOLEAN(0xFF)}) {
    fakehid::script().report_result = result;
    EXPECT_TRUE(qz::HidD_GetInputReport(device, report, sizeof report));
    EXPECT_TRUE(qz::HidD_GetFeature(device, report, sizeof report));
    EXPECT_TRUE(qz::HidD_SetOutputReport(device, report, sizeof report));
    EXPECT_TRUE(qz::HidD_SetFeature(device, report, sizeof report));
    EXPECT_TRUE(qz::HidD_SetNumInputBuffers(device, 64));
  }
  EXPECT_EQ(fakehid::script().input_buffers, 64u);
  fakehid::script().report_result = FALSE;
  EXPECT_FALSE(qz::HidD_SetFeature(device, report, sizeof report));
  EXPECT_FALSE(qz::HidD_SetNumInputBuffers(device, 64));
}

TEST_F(HidBinding, PreparsedDataIsTheHandleWhateverTheResult) {
  fakehid::script().preparsed = 0x1234;
  EXPECT_EQ(qz::HidD_GetPreparsedData(device), 0x1234u);
}

TEST_F(HidBinding, MissingEntryPointsGiveTheirMissingResults) {
  // The fake module has no HidD_GetAttributes, HidD_FreePreparsedData or cap tables.
  HIDD_ATTRIBUTES attributes{};
  EXPECT_FALSE(qz::HidD_GetAttributes(device, attributes));
  EXPECT_FALSE(qz::HidD_FreePreparsedData(1));
  USHORT length = 1;
  HIDP_BUTTON_CAPS button{};
  HIDP_VALUE_CAPS value{};
  EXPECT_EQ(qz::HidP_GetButtonCaps(0, &button, length, 1), HIDP_STATUS_NULL);
  EXPECT_EQ(qz::HidP_GetValueCaps(0, &value, length, 1), HIDP_STATUS_NULL);

  // Hiding a present entry makes it missing at the next call: nothing is cached.
  HIDP_CAPS caps{};
  EXPECT_EQ(qz::HidP_GetCaps(1, caps), HIDP_STATUS_SUCCESS);
  qzplatform::HideEntry(u"HID.DLL", "HidP_GetCaps");
  qzplatform::HideEntry(u"HID.DLL", "HidD_GetProductString");
  EXPECT_EQ(qz::HidP_GetCaps(1, caps), HIDP_STATUS_NULL);
  fakehid::script().string_text = u"Product";
  EXPECT_EQ(qz::HidD_GetProductString(device), u"");
  EXPECT_EQ(qz::HidD_GetManufacturerString(device), u"Product");
}

TEST_F(HidBinding, MissingReportReadersGiveZeroOrNullAndWriteNothing) {
  // None of the report readers is in the fake module.
  const unsigned char report[4] = {0, 1, 2, 3};
  EXPECT_EQ(qz::HidP_MaxDataListLength(0, 1), 0u);
  EXPECT_EQ(qz::HidP_MaxUsageListLength(0, 0x09, 1), 0u);
  HIDP_DATA data{};
  data.DataIndex = 7;
  ULONG count = 1;
  EXPECT_EQ(qz::HidP_GetData(0, &data, count, 1, report, sizeof report), HIDP_STATUS_NULL);
  USAGE_AND_PAGE usage{5, 9};
  EXPECT_EQ(qz::HidP_GetUsagesEx(0, 0, &usage, count, 1, report, sizeof report),
            HIDP_STATUS_NULL);
  ULONG value = 42;
  EXPECT_EQ(qz::HidP_GetUsageValue(0, 1, 0, 0x30, value, 1, report, sizeof report),
            HIDP_STATUS_NULL);
  LONG scaled = -42;
  EXPECT_EQ(qz::HidP_GetScaledUsageValue(0, 1, 0, 0x30, scaled, 1, report, sizeof report),
            HIDP_STATUS_NULL);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(data.DataIndex, 7);
  EXPECT_EQ(usage.Usage, 5);
  EXPECT_EQ(value, 42u);
  EXPECT_EQ(scaled, -42);
}

TEST_F(HidBinding, LibraryIsLoadedOnce) {
  GUID guid{};
  qz::HidD_GetHidGuid(guid);
  EXPECT_EQ(guid.Data1, 0x4D1E55B2u);
  const int lookups = fakehid::script().module_lookups;
  qz::HidD_GetHidGuid(guid);
  qz::HidD_GetProductString(device);
  EXPECT_TRUE(qz::LoadHidDll());
  EXPECT_EQ(fakehid::script().module_lookups, lookups);
}

}  // namespace
