// Hexadecimal conversions of the data field, the memo line of a received report and the
// double click's vendor/product text.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "presenter/report_text.h"

namespace {

using demo::HexToStr;
using demo::StrToHex;
using qz::Text;

TEST(HexToStr, ReadsPairsWithBlanksCommasOrPrefixesAndRefusesTheRest) {
  EXPECT_EQ(HexToStr(u"0102ff"), Text(u"\x01\x02\xff"));
  EXPECT_EQ(HexToStr(u"0102FF"), Text(u"\x01\x02\xff"));
  EXPECT_EQ(HexToStr(u" 01 02,0x03, 0XfF  4"), Text(u"\x01\x02\x03\xff\x04"));
  EXPECT_EQ(HexToStr(u""), Text());
  EXPECT_EQ(HexToStr(u"00"), Text(1, u'\0'));
  Text fault;
  EXPECT_EQ(HexToStr(u"Hello Device", &fault), std::nullopt);
  EXPECT_EQ(fault, u"\"H\" at character 1 is not a hexadecimal digit");
  EXPECT_EQ(HexToStr(u"41 4G", &fault), std::nullopt);
  EXPECT_EQ(fault, u"\"G\" at character 5 is not a hexadecimal digit");
  EXPECT_EQ(HexToStr(u"010", &fault), std::nullopt);
  EXPECT_EQ(fault, u"\"010\" has an odd number of digits");
  EXPECT_EQ(HexToStr(u"01 0x", &fault), std::nullopt);
  EXPECT_EQ(fault, u"\"x\" at character 5 is not a hexadecimal digit");
}

TEST(StrToHex, WritesTwoUpperCaseDigitsPerCharacter) {
  EXPECT_EQ(StrToHex(u"Hello Device"), u"48656C6C6F20446576696365");
  EXPECT_EQ(StrToHex(Text(u"\x00\xff", 2)), u"00FF");
  EXPECT_EQ(StrToHex(u"\u0141"), u"41");  // only the low 8 bits
  EXPECT_EQ(StrToHex(u""), u"");
}

TEST(HexToStr, SwitchingReadingsBackAndForthRestoresTheText) {
  EXPECT_EQ(HexToStr(StrToHex(u"Hello Device")), u"Hello Device");
  const Text all = [] {
    Text t;
    for (int c = 0; c < 256; ++c) t.push_back(static_cast<char16_t>(c));
    return t;
  }();
  EXPECT_EQ(HexToStr(StrToHex(all)), all);
}

TEST(ReceivedReportLine, CountThenEachByteFollowedByABlank) {
  const std::vector<std::uint8_t> bytes{0, 1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(demo::ReceivedReportLine(bytes.data(), 8),
            u"HID Report is received:  8 bytes 00 01 02 03 04 05 06 07 ");
  const std::uint8_t one = 0xAB;
  EXPECT_EQ(demo::ReceivedReportLine(&one, 1), u"HID Report is received:  1 bytes AB ");
  EXPECT_EQ(demo::ReceivedReportLine(nullptr, 0), u"HID Report is received:  0 bytes ");
  const std::vector<std::uint8_t> wide(64, 0xFE);
  const Text line = demo::ReceivedReportLine(wide.data(), 64);
  EXPECT_EQ(line.size(), std::u16string(u"HID Report is received:  64 bytes ").size() + 64 * 3);
  EXPECT_EQ(line.substr(line.size() - 6), u"FE FE ");
}

TEST(VendorProductText, DecimalIdsEachFollowedByABlank) {
  EXPECT_EQ(demo::VendorProductText(0x046D, 0x0100), u"1133 256 ");
  EXPECT_EQ(demo::VendorProductText(0, 0xFFFF), u"0 65535 ");
}

}  // namespace
