// The ASCII text helpers: only A-Z fold, hex digits of both cases and nothing around them.
#include <gtest/gtest.h>

#include "qzplatform/ascii_text.h"

namespace {

using namespace qzplatform;

TEST(AsciiText, OnlyLatinCapitalsFold) {
  EXPECT_EQ(LowerAsciiText(std::u16string_view(u"\\\\?\\HID#VID_045E&Col01#{A}")),
            u"\\\\?\\hid#vid_045e&col01#{a}");
  // Neighbours of A-Z and non-ASCII letters stay as they are.
  EXPECT_EQ(LowerAsciiText(std::string_view("@[`{")), "@[`{");
  EXPECT_EQ(LowerAsciiText(std::u16string_view(u"\u00C4\u0130")), u"\u00C4\u0130");
  EXPECT_TRUE(EqualAsciiNoCase(u"\\\\?\\HID#VID_045E", u"\\\\?\\hid#vid_045e"));
  EXPECT_FALSE(EqualAsciiNoCase(u"\u00C4", u"\u00E4"));
  EXPECT_FALSE(EqualAsciiNoCase(std::string_view("ab"), std::string_view("abc")));
}

TEST(AsciiText, HexDigitsOfBothCasesAndNothingAroundThem) {
  EXPECT_EQ(HexDigitValue('0'), 0);
  EXPECT_EQ(HexDigitValue('9'), 9);
  EXPECT_EQ(HexDigitValue(u'a'), 10);
  EXPECT_EQ(HexDigitValue(u'F'), 15);
  for (char c : {'/', ':', '@', 'G', '`', 'g', ' '}) EXPECT_EQ(HexDigitValue(c), -1) << c;
  // A 16-bit unit whose low byte is a digit is no digit.
  EXPECT_EQ(HexDigitValue(char16_t(0x0141)), -1);
}

TEST(AsciiText, AppendHexWritesTheLowDigitsMostSignificantFirst) {
  std::u16string text = u"x";
  AppendHex(text, 0x1ABCDu, 4);
  EXPECT_EQ(text, u"xABCD");
  std::string bytes;
  AppendHex(bytes, 0x0Fu, 2, true);
  EXPECT_EQ(bytes, "0f");
}

}  // namespace
