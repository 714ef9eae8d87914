// Hexadecimal conversions of the data field, the memo line of a received report and the
// double click's vendor/product text.
#include <gtest/gtest.h>

#include <vector>

#include "presenter/report_text.h"

namespace {

using demo::HexToStr;
using demo::StrToHex;
using qz::Text;

TEST(HexToStr, ConvertsPairsUntilTheFirstThatIsNotHexadecimal) {
  EXPECT_EQ(HexToStr(u"0102ff"), Text(u"\x01\x02\xff"));
  EXPECT_EQ(HexToStr(u"0102FF"), Text(u"\x01\x02\xff"));
  EXPECT_EQ(HexToStr(u"01 02"), Text(u"\x01"));   // a blank ends it
  EXPECT_EQ(HexToStr(u"010"), Text(u"\x01"));     // a lone digit at the end is ignored
  EXPECT_EQ(HexToStr(u"0x12"), Text());           // so does a prefix
  EXPECT_EQ(HexToStr(u"4G41"), Text());
  EXPECT_EQ(HexToStr(u"Hello Device"), Text());
  EXPECT_EQ(HexToStr(u""), Text());
  EXPECT_EQ(HexToStr(u"00"), Text(1, u'\0'));
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
