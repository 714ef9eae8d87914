// The ASCII text helpers: only A-Z fold, hex digits of both cases and nothing around them,
// numbers within their limit, GUIDs in registry form both ways.
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

TEST(AsciiText, HexTextWidensForALargeValueRatherThanCutIt) {
  EXPECT_EQ(HexText(0x1Fu, 4), "001F");
  EXPECT_EQ(HexText(0x1FFu, 2), "1FF");
  EXPECT_EQ(HexText<char16_t>(0u, 0), u"0");
}

TEST(AsciiText, ParseUnsignedTakesOnlyDigitsOfItsBaseUpToTheLimit) {
  EXPECT_EQ(ParseUnsigned(std::string_view("046d"), 16), 0x46Du);
  EXPECT_EQ(ParseUnsigned(std::u16string_view(u"FF"), 16, 0xFF), 0xFFu);
  EXPECT_EQ(ParseUnsigned(std::u16string_view(u"100"), 16, 0xFF), std::nullopt);
  EXPECT_EQ(ParseUnsigned(std::string_view("123"), 10), 123u);
  EXPECT_EQ(ParseUnsigned(std::string_view("12a"), 10), std::nullopt);
  for (std::string_view bad : {"", "0x1", "+1", "-1", " 1", "1 "})
    EXPECT_EQ(ParseUnsigned(bad, 16), std::nullopt) << bad;
  // The largest value is read; one more does not wrap round.
  EXPECT_EQ(ParseUnsigned(std::string_view("FFFFFFFFFFFFFFFF"), 16), ~0ull);
  EXPECT_EQ(ParseUnsigned(std::string_view("10000000000000000"), 16), std::nullopt);
  EXPECT_EQ(ParseUnsigned(std::string_view("18446744073709551616"), 10), std::nullopt);
}

struct TestGuid {
  unsigned long Data1;
  unsigned short Data2, Data3;
  unsigned char Data4[8];
};

TEST(AsciiText, GuidTextIsRegistryFormInEitherCase) {
  const TestGuid g{0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x3A}};
  EXPECT_EQ(GuidText(g), u"{4D1E55B2-F16F-11CF-88CB-00111100003A}");
  EXPECT_EQ(GuidText(g, true), u"{4d1e55b2-f16f-11cf-88cb-00111100003a}");
}

TEST(AsciiText, ParseGuidTextReadsWhatGuidTextWritesAndNothingElse) {
  const auto g =
      ParseGuidText<TestGuid>(std::u16string_view(u"4d1e55b2-F16F-11cf-88CB-00111100003A"));
  ASSERT_TRUE(g.has_value());
  EXPECT_EQ(GuidText(*g), u"{4D1E55B2-F16F-11CF-88CB-00111100003A}");
  for (std::string_view bad :
       {"4D1E55B2-F16F-11CF-88CB-00111100003", "4D1E55B2-F16F-11CF-88CB+00111100003A",
        "4D1E55B2-F16F-11CF-88CB-00111100003G", "{4D1E55B2-F16F-11CF-88CB-00111100}"})
    EXPECT_FALSE(ParseGuidText<TestGuid>(bad).has_value()) << bad;
}

}  // namespace
