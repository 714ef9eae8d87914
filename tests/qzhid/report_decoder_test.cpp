// The HID component's decoded view of a simulated joystick's reports: buttons, signed
// and scaled values, array usages, a vendor feature, and the statuses of bad reports.
#include "hid_fixture.h"

namespace hidtest {
namespace {

// Report 1 (input, 7 bytes): buttons 1-4, padding, X and Y (-127..127), a slider
// (0..100, physically 0..1000) and a two-key array of keyboard usages 0-0x65.
// Report 2 (feature, 2 bytes): one vendor byte.
constexpr const char* kJoystick =
    "05 01 09 04 A1 01 85 01 05 09 19 01 29 04 15 00 25 01 75 01 95 04 81 02 "
    "75 04 95 01 81 03 05 01 09 30 09 31 15 81 25 7F 75 08 95 02 81 02 "
    "09 36 15 00 25 64 35 00 46 E8 03 95 01 81 02 "
    "05 07 19 00 29 65 15 00 25 65 35 00 45 00 95 02 81 00 "
    "85 02 06 00 FF 09 20 15 00 26 FF 00 95 01 B1 02 C0";

class ReportDecoder : public HidTest {
 protected:
  // Lists the joystick, which sends `report` once after opening.
  void LoadJoystick(const std::string& report) {
    Load(R"({"devices": [{"name": "stick", "vendor_id": "0x1209", "product_id": "0x0042",
      "report_descriptor": ")" + std::string(kJoystick) + R"(",
      "input_script": {"period_ms": 5, "repeat": false, "reports": [")" + report + R"("]}}]})");
    hid->SetOnAfterReceive(receiver.Handler());
  }
};

TEST_F(ReportDecoder, ReceivedReportGivesButtonsValuesAndArrayUsagesInDataIndexOrder) {
  // Buttons 1 and 3, X -10, Y 20, slider 50, key 0x04 held.
  LoadJoystick("01 05 F6 14 32 04 00");
  Open();
  ASSERT_TRUE(WaitFor([&] { return receiver.Count() == 1; }));
  const Bytes report = receiver.Blocks()[0].data;
  const qz::DecodedReport decoded =
      hid->DecodeReport(report.data(), static_cast<ULONG>(report.size()));
  ASSERT_EQ(decoded.status, HIDP_STATUS_SUCCESS);

  struct Expected {
    USHORT index;
    USAGE page, usage;
    std::int64_t logical;
    std::optional<LONG> physical;
    bool pressed;
  };
  // Buttons take indices 0-3; Y is stored before X, so it takes 4; the keyboard range
  // starts at 7 with usage 0.
  const Expected expected[] = {
      {0, 0x09, 0x01, 1, std::nullopt, true},  {2, 0x09, 0x03, 1, std::nullopt, true},
      {4, 0x01, 0x31, 20, std::nullopt, false}, {5, 0x01, 0x30, -10, std::nullopt, false},
      {6, 0x01, 0x36, 50, 500, false},          {11, 0x07, 0x04, 1, std::nullopt, true},
  };
  ASSERT_EQ(decoded.fields.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    const qz::DecodedField& f = decoded.fields[i];
    EXPECT_EQ(f.dataIndex, expected[i].index);
    EXPECT_EQ(f.usagePage, expected[i].page);
    EXPECT_EQ(f.usage, expected[i].usage);
    EXPECT_EQ(f.logical, expected[i].logical);
    EXPECT_EQ(f.physical, expected[i].physical);
    EXPECT_EQ(f.pressed, expected[i].pressed);
  }
  // Names from the installed usb.ids.
  EXPECT_EQ(decoded.fields[0].usagePageName, u"Buttons");
  EXPECT_EQ(decoded.fields[0].usageName, u"Button 1 (Primary)");
  EXPECT_EQ(decoded.fields[3].usagePageName, u"Generic Desktop Controls");
  EXPECT_EQ(decoded.fields[3].usageName, u"Direction-X");
  EXPECT_EQ(decoded.fields[5].usageName, u"A");
}

TEST_F(ReportDecoder, FeatureKindAndBadReportsGetTheLibraryStatus) {
  const std::uint8_t input[7] = {1, 0, 0, 0, 0, 0, 0};
  const std::uint8_t feature[2] = {2, 0x2A};
  LoadJoystick("01");
  EXPECT_EQ(hid->DecodeReport(input, 7).status, HIDP_STATUS_INVALID_PREPARSED_DATA)
      << "not open yet";
  Open();
  const qz::DecodedReport vendor = hid->DecodeReport(feature, 2, qz::ReportKind::Feature);
  ASSERT_EQ(vendor.status, HIDP_STATUS_SUCCESS);
  ASSERT_EQ(vendor.fields.size(), 1u);
  EXPECT_EQ(vendor.fields[0].usagePage, 0xFF00);
  EXPECT_EQ(vendor.fields[0].usage, 0x20);
  EXPECT_EQ(vendor.fields[0].logical, 42);
  EXPECT_EQ(vendor.fields[0].usageName, u"Vendor-defined 0xFF00:0x0020");

  EXPECT_EQ(hid->DecodeReport(input, 6).status, HIDP_STATUS_INVALID_REPORT_LENGTH);
  EXPECT_EQ(hid->DecodeReport(nullptr, 7).status, HIDP_STATUS_INVALID_REPORT_LENGTH);
  EXPECT_EQ(hid->DecodeReport(feature, 2).status, HIDP_STATUS_INVALID_REPORT_LENGTH);
  const std::uint8_t unknownId[7] = {3};
  EXPECT_EQ(hid->DecodeReport(unknownId, 7).status, HIDP_STATUS_REPORT_DOES_NOT_EXIST);
  EXPECT_EQ(hid->DecodeReport(input, 7, qz::ReportKind::Output).status,
            HIDP_STATUS_INVALID_REPORT_LENGTH)
      << "the joystick has no output report";
  EXPECT_EQ(hid->DecodeReport(input, 7, static_cast<qz::ReportKind>(3)).status,
            HIDP_STATUS_INVALID_REPORT_TYPE);

  hid->SetActive(false);
  EXPECT_EQ(hid->DecodeReport(feature, 2, qz::ReportKind::Feature).status,
            HIDP_STATUS_INVALID_PREPARSED_DATA);
}

}  // namespace
}  // namespace hidtest
