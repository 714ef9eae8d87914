// Entry-point names of wide variants and the joining of NUL-separated string lists.
#include <gtest/gtest.h>

#include "qzsysutils/qzsysutils.h"

namespace {

qz::Text Join(std::u16string_view buffer, const qz::Text& separator = u";") {
  return qz::MultiSzToText(reinterpret_cast<const WCHAR*>(buffer.data()), buffer.size(), separator);
}

TEST(WideEntryName, ReplacesTheLastCharacterWithW) {
  EXPECT_EQ(qz::WideEntryName("SetupDiGetClassDevsA"), "SetupDiGetClassDevsW");
  EXPECT_EQ(qz::WideEntryName("CM_Get_Device_ID_ListA"), "CM_Get_Device_ID_ListW");
  EXPECT_EQ(qz::WideEntryName("A"), "W");
  EXPECT_EQ(qz::WideEntryName(""), "");
}

TEST(MultiSzToText, JoinsTheListsStrings) {
  EXPECT_EQ(Join(std::u16string_view(u"A\0B\0\0", 5)), u"A;B");
  EXPECT_EQ(Join(std::u16string_view(u"USB\\1\0HID\\2\0HID\\3\0\0", 19), u" | "),
            u"USB\\1 | HID\\2 | HID\\3");
  EXPECT_EQ(Join(std::u16string_view(u"ABC\0\0", 5)), u"ABC");
  EXPECT_EQ(Join(std::u16string_view(u"A\0B\0\0", 5), u""), u"AB");
}

TEST(MultiSzToText, ShortEmptyAndOversizedBuffers) {
  EXPECT_EQ(Join(std::u16string_view(u"A", 1)), u"");
  EXPECT_EQ(Join(std::u16string_view(u"", 0)), u"");
  EXPECT_EQ(Join(std::u16string_view(u"\0", 1)), u"");
  EXPECT_EQ(Join(std::u16string_view(u"\0\0", 2)), u"");
  EXPECT_EQ(qz::MultiSzToText(nullptr, 5, u";"), u"");
  // Missing list terminator: the last string still counts.
  EXPECT_EQ(Join(std::u16string_view(u"A\0B\0", 4)), u"A;B");
  // A buffer longer than its list: the empty string ends it, no trailing separators.
  EXPECT_EQ(Join(std::u16string_view(u"A\0B\0\0\0\0\0", 8)), u"A;B");
  EXPECT_EQ(Join(std::u16string_view(u"A\0\0C\0\0", 6)), u"A");
  // The last unit is the terminator's place and is never read as text.
  EXPECT_EQ(Join(std::u16string_view(u"AB", 2)), u"A");
}

}  // namespace
