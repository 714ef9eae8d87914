// hidcaps' report decoding: fields in HidP_GetData order with usage names, and the
// physical values HidP_GetScaledUsageValue gives where the descriptor has extents.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "descriptor_input.h"
#include "report_decode.h"

namespace {

using hidcaps::DecodedField;
using hidcaps::DecodeReport;

// Five 8-bit axes (X Y Z Z Rz, 0..255 physical), a 0..7 hat with a null state scaled
// onto 0..315 degrees, 12 buttons, 8 vendor bits; 9-byte input reports.
class GamepadDecode : public ::testing::Test {
 protected:
  void SetUp() override {
    const hidcaps::DescriptorInput input = hidcaps::ReadDescriptor(
        std::string(HIDPARSE_DESCRIPTOR_DIR) + "/gamepad_0001_0004.hex", hidcaps::InputFormat::kHex);
    ASSERT_TRUE(input.ok()) << input.error;
    parsed_ = hidparse::Parse(input.bytes);
    ASSERT_TRUE(parsed_.ok()) << parsed_.error;
  }
  hidcaps::DecodedReport Decode(const std::vector<std::uint8_t>& report) {
    return DecodeReport(*parsed_.collections.front(), HidP_Input, report, names_);
  }
  hidparse::ParseResult parsed_;
  const qzusbids::UsbIds names_ = qzusbids::UsbIds::Parse("HUT 01  Desk\n\t032  Depth\n");
};

TEST_F(GamepadDecode, ARepeatedUsageHasAPhysicalValueOnlyAtTheFieldTheScaledCallReads) {
  const auto decoded = Decode({0x00, 0x10, 0x20, 0x30, 0x40, 0x50, 0x03, 0x00, 0x00});
  ASSERT_EQ(decoded.status, HIDP_STATUS_SUCCESS);
  ASSERT_GE(decoded.fields.size(), 3u);
  const DecodedField& first_z = decoded.fields[1];
  const DecodedField& second_z = decoded.fields[2];
  EXPECT_EQ(first_z.usage_name, "Depth");
  EXPECT_EQ(second_z.usage_name, "Depth");
  // Windows keeps the usages of one item in reverse: the first Z cap is the 4th field.
  EXPECT_EQ(first_z.logical, 0x40);
  EXPECT_EQ(first_z.physical, 0x40);
  EXPECT_EQ(second_z.logical, 0x30);
  EXPECT_FALSE(second_z.physical.has_value());
  EXPECT_FALSE(second_z.physical_status.has_value());
}

TEST_F(GamepadDecode, AHatInItsNullStateGivesTheNullStatusAsItsPhysicalValue) {
  const auto decoded = Decode({0x00, 0, 0, 0, 0, 0, 0x08, 0x00, 0x00});
  ASSERT_EQ(decoded.status, HIDP_STATUS_SUCCESS);
  ASSERT_GE(decoded.fields.size(), 6u);
  const DecodedField& hat = decoded.fields[5];
  EXPECT_EQ(hat.usage, 0x39);
  EXPECT_EQ(hat.logical, 8);
  EXPECT_FALSE(hat.physical.has_value());
  EXPECT_EQ(hat.physical_status, HIDP_STATUS_NULL);
}

TEST_F(GamepadDecode, ButtonsThatAreOnFollowTheValuesWithFallbackNames) {
  const auto decoded = Decode({0x00, 0, 0, 0, 0, 0, 0x10, 0x00, 0x80});
  ASSERT_EQ(decoded.status, HIDP_STATUS_SUCCESS);
  ASSERT_EQ(decoded.fields.size(), 8u);  // six values, two buttons
  EXPECT_TRUE(decoded.fields[6].is_button);
  EXPECT_EQ(decoded.fields[6].usage_name, "Button 1");
  EXPECT_EQ(decoded.fields[7].usage_page, 0xFF00);
  EXPECT_EQ(decoded.fields[7].page_name, "Vendor-defined 0xFF00");
}

TEST_F(GamepadDecode, AReportOfTheWrongLengthIsRefusedWithNoFields) {
  const auto decoded = Decode({0x00, 0x10, 0x20});
  EXPECT_EQ(decoded.status, HIDP_STATUS_INVALID_REPORT_LENGTH);
  EXPECT_TRUE(decoded.fields.empty());
  EXPECT_EQ(hidcaps::StatusName(decoded.status), "HIDP_STATUS_INVALID_REPORT_LENGTH");
  EXPECT_EQ(hidcaps::StatusName(HidpStatus(0xC0110099ul)), "status 0xC0110099");
}

}  // namespace
