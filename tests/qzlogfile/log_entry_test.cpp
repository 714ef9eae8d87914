// Stamps and escaping of log entries.
#include <gtest/gtest.h>

#include "qzlogfile/log_entry.h"

namespace {

const SYSTEMTIME kTime{2012, 12, 6, 8, 14, 3, 7, 45};

// The user's short date and long time for kTime, as the system formats them (off Windows
// yyyy-mm-dd and HH:MM:SS).
std::u16string SystemDate() {
  WCHAR text[80];
  const int n = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &kTime, nullptr, text, 80);
  return n > 0 ? std::u16string(qzplatform::AsChar16(text)) : u"(no date)";
}
std::u16string SystemTime() {
  WCHAR text[80];
  const int n = GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &kTime, nullptr, text, 80);
  return n > 0 ? std::u16string(qzplatform::AsChar16(text)) : u"(no time)";
}

TEST(LogStamp, HoldsTheSwitchedOnPartsTrimmed) {
  const std::u16string date = SystemDate();
  const std::u16string time = SystemTime();
  EXPECT_EQ(qz::BuildLogStamp(kTime, {qz::loDate, qz::loTime, qz::loMSec}),
            u"[" + date + u" " + time + u" +045] ");
  EXPECT_EQ(qz::BuildLogStamp(kTime, {qz::loDate, qz::loMSec}), u"[" + date + u" +045] ");
  EXPECT_EQ(qz::BuildLogStamp(kTime, {qz::loTime}), u"[" + time + u"] ");
  EXPECT_EQ(qz::BuildLogStamp(kTime, {qz::loMSec}), u"[+045] ");
  EXPECT_EQ(qz::BuildLogStamp(kTime, {qz::loSafeMode, qz::loDebugOut}), u"");
  SYSTEMTIME early = kTime;
  early.wMilliseconds = 7;
  EXPECT_EQ(qz::BuildLogStamp(early, {qz::loMSec}), u"[+007] ");
}

TEST(LogEscape, ControlUnitsBecomeHexWithH) {
  EXPECT_EQ(qz::EscapeControlChars(u"a\tb\nc\r"), u"a\\09hb\\0Ahc\\0Dh");
  EXPECT_EQ(qz::EscapeControlChars(std::u16string(1, u'\0') + u"\x1F"), u"\\00h\\1Fh");
  // Blank, DEL and characters beyond Latin-1 are kept as they are.
  EXPECT_EQ(qz::EscapeControlChars(u" \x7F\u00E9\u4E2D\\"), u" \x7F\u00E9\u4E2D\\");
}

}  // namespace
