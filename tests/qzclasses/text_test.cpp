// Text trimming and conversions.
#include "qzclasses/text.h"

#include <gtest/gtest.h>

#include <string>

#include "qzplatform/win32.h"

namespace qz {
namespace {

TEST(TextTest, TrimRemovesControlAndSpaceAtBothEndsOnly) {
  EXPECT_EQ(Trim(u"\t\r\n  a b\x01 \x1F"), u"a b");
  EXPECT_EQ(Trim(u"   "), u"");
  EXPECT_EQ(Trim(u""), u"");
  EXPECT_EQ(Trim(u"\u00A0x\u00A0"), u"\u00A0x\u00A0");  // 160 is above 32: kept
}

TEST(TextTest, AnsiIsOneBytePerCharacterWithQuestionMarkForTheUnrepresentable) {
  // The system's ANSI code page: ISO 8859-1 off Windows, Windows-1252 on a Western Windows
  // (where byte 0x80 is the euro sign).
  const UINT codePage = GetACP();
  if (codePage != 28591 && codePage != 1252)
    GTEST_SKIP() << "expectations are written for code pages 28591 and 1252, not " << codePage;
  const bool euro = codePage == 1252;
  const std::string ansi = TextToAnsi(u"A\u00E9\u00FF\u20AC\u4E2D");
  EXPECT_EQ(ansi, std::string("A\xE9\xFF") + (euro ? "\x80" : "?") + "?");
  EXPECT_EQ(AnsiToText(std::string("\x00\x80\xFFz", 4)),
            Text(u"\0", 1) + (euro ? u"\u20AC" : u"\u0080") + u"\u00FFz");
  EXPECT_EQ(TextToAnsi(u""), "");
  EXPECT_EQ(AnsiToText(""), u"");
}

TEST(TextTest, Utf8RoundTripsAllPlanes) {
  const Text text = u"a\u00E9\u20AC\U0001F600";
  EXPECT_EQ(TextToUtf8(text), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(TextFromUtf8(TextToUtf8(text)), text);
}

// `text` is `before`, one or more replacement characters, then `after`. How many
// replacements an invalid sequence gives is the system converter's choice (one per byte
// off Windows; Windows' converter may take a truncated sequence as one).
::testing::AssertionResult Replaced(const Text& text, std::u16string_view before,
                                    std::u16string_view after) {
  const bool framed = text.size() > before.size() + after.size() &&
                      text.compare(0, before.size(), before) == 0 &&
                      text.compare(text.size() - after.size(), after.size(), after) == 0;
  if (framed && text.find_first_not_of(u'\uFFFD', before.size()) >= text.size() - after.size())
    return ::testing::AssertionSuccess();
  std::string units;
  for (char16_t unit : text) units += std::to_string(unit) + " ";
  return ::testing::AssertionFailure() << "code units: " << units;
}

TEST(TextTest, InvalidUtf8BecomesReplacementCharacters) {
  // Truncated sequence, overlong form, encoded surrogate, stray continuation byte.
  EXPECT_TRUE(Replaced(TextFromUtf8("a\xE2\x82"), u"a", u""));
  EXPECT_TRUE(Replaced(TextFromUtf8("\xC0\xAF"), u"", u""));
  EXPECT_TRUE(Replaced(TextFromUtf8("\xED\xA0\x80"), u"", u""));
  EXPECT_EQ(TextFromUtf8("\x80z"), u"\uFFFDz");
  EXPECT_TRUE(Replaced(TextFromUtf8("\xF4\x90\x80\x80" "b"), u"", u"b"));  // above U+10FFFF
}

TEST(TextTest, LoneSurrogatesBecomeReplacementInUtf8) {
  EXPECT_EQ(TextToUtf8(Text(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(TextToUtf8(Text(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace qz
