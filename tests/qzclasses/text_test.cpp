// Text trimming and conversions.
#include "qzclasses/text.h"

#include <gtest/gtest.h>

namespace qz {
namespace {

TEST(TextTest, TrimRemovesControlAndSpaceAtBothEndsOnly) {
  EXPECT_EQ(Trim(u"\t\r\n  a b\x01 \x1F"), u"a b");
  EXPECT_EQ(Trim(u"   "), u"");
  EXPECT_EQ(Trim(u""), u"");
  EXPECT_EQ(Trim(u"\u00A0x\u00A0"), u"\u00A0x\u00A0");  // 160 is above 32: kept
}

TEST(TextTest, AnsiIsOneBytePerCharacterWithQuestionMarkForTheUnrepresentable) {
  const std::string ansi = TextToAnsi(u"A\u00E9\u00FF\u20AC\u4E2D");
  EXPECT_EQ(ansi, std::string("A\xE9\xFF??"));
  EXPECT_EQ(AnsiToText(std::string("\x00\x80\xFFz", 4)), Text(u"\0\u0080\u00FFz", 4));
  EXPECT_EQ(TextToAnsi(u""), "");
  EXPECT_EQ(AnsiToText(""), u"");
}

TEST(TextTest, Utf8RoundTripsAllPlanes) {
  const Text text = u"a\u00E9\u20AC\U0001F600";
  EXPECT_EQ(TextToUtf8(text), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(TextFromUtf8(TextToUtf8(text)), text);
}

TEST(TextTest, InvalidUtf8BecomesReplacementCharacters) {
  // Truncated sequence, overlong form, encoded surrogate, stray continuation byte.
  EXPECT_EQ(TextFromUtf8("a\xE2\x82"), u"a\uFFFD\uFFFD");
  EXPECT_EQ(TextFromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");
  EXPECT_EQ(TextFromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(TextFromUtf8("\x80z"), u"\uFFFDz");
  EXPECT_EQ(TextFromUtf8("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // above U+10FFFF
}

TEST(TextTest, LoneSurrogatesBecomeReplacementInUtf8) {
  EXPECT_EQ(TextToUtf8(Text(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(TextToUtf8(Text(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace qz
