// Stamps and escaping of log entries.
#include <gtest/gtest.h>

#include "qzlogfile/log_entry.h"

namespace {

const SYSTEMTIME kTime{2012, 12, 6, 8, 14, 3, 7, 45};

TEST(LogStamp, HoldsTheSwitchedOnPartsTrimmed) {
  // Off Windows the locale's short date is yyyy-mm-dd and its long time HH:MM:SS.
  EXPECT_EQ(qz::BuildLogStamp(kTime, {qz::loDate, qz::loTime, qz::loMSec}),
            u"[2012-12-08 14:03:07 +045] ");
  EXPECT_EQ(qz::BuildLogStamp(kTime, {qz::loDate, qz::loMSec}), u"[2012-12-08 +045] ");
  EXPECT_EQ(qz::BuildLogStamp(kTime, {qz::loTime}), u"[14:03:07] ");
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
