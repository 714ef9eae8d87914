// printf-like formatting: directives, widths, precisions and mismatches.
#include "qzclasses/format.h"

#include <gtest/gtest.h>

#include <climits>

#include "qzclasses/errors.h"

namespace qz {
namespace {

TEST(FormatTest, BasicDirectives) {
  EXPECT_EQ(Format(u"%s=%d [%x] %u%%", {u"len", -5, 255, 7u}), u"len=-5 [FF] 7%");
  EXPECT_EQ(Format(u"no directives", {}), u"no directives");
  EXPECT_EQ(Format(u"%s", {Text(u"")}), u"");
}

TEST(FormatTest, PrecisionPadsDigitsWithZeros) {
  EXPECT_EQ(Format(u"%0.3d", {7}), u"007");
  EXPECT_EQ(Format(u"%0.3d", {1234}), u"1234");
  EXPECT_EQ(Format(u"%.4x", {0x1A}), u"001A");
  EXPECT_EQ(Format(u"%.3d", {-7}), u"-007");  // the sign is not a digit
  EXPECT_EQ(Format(u"%.0d", {0}), u"0");
}

TEST(FormatTest, WidthAlignsRightOrLeft) {
  EXPECT_EQ(Format(u"[%5s]", {u"ab"}), u"[   ab]");
  EXPECT_EQ(Format(u"[%-5s]", {u"ab"}), u"[ab   ]");
  EXPECT_EQ(Format(u"[%6.3d]", {5}), u"[   005]");
  EXPECT_EQ(Format(u"[%2s]", {u"abcd"}), u"[abcd]");  // never cut by width
  EXPECT_EQ(Format(u"[%.2s]", {u"abcd"}), u"[ab]");   // cut by precision
}

TEST(FormatTest, StarTakesWidthAndPrecisionFromArguments) {
  EXPECT_EQ(Format(u"[%*d]", {4, 1}), u"[   1]");
  EXPECT_EQ(Format(u"[%*d]", {-4, 1}), u"[1   ]");
  EXPECT_EQ(Format(u"[%.*x]", {4, 0xAB}), u"[00AB]");
  EXPECT_THROW(Format(u"%*d", {u"x", 1}), Error);
}

TEST(FormatTest, UnsignedAndHexOfNegativeShowTheirTwosComplement) {
  EXPECT_EQ(Format(u"%u", {-1}), u"4294967295");
  EXPECT_EQ(Format(u"%x", {-1}), u"FFFFFFFF");
  EXPECT_EQ(Format(u"%x", {std::int64_t{-1} << 40}), u"FFFFFF0000000000");
  EXPECT_EQ(Format(u"%u", {UINT64_MAX}), u"18446744073709551615");
  EXPECT_EQ(Format(u"%d", {UINT64_MAX}), u"18446744073709551615");
  EXPECT_EQ(Format(u"%d", {INT64_MIN}), u"-9223372036854775808");
}

TEST(FormatTest, NarrowTypesAreIntegers) {
  EXPECT_EQ(Format(u"%d %u %x", {std::int8_t{-2}, std::uint8_t{200}, std::uint16_t{0xBEEF}}),
            u"-2 200 BEEF");
}

TEST(FormatTest, MismatchesThrowFormatError) {
  const auto message = [](std::u16string_view format, const FormatArgs& args) {
    try {
      Format(format, args);
    } catch (const Error& e) {
      return e.Message();
    }
    return Text(u"no error");
  };
  EXPECT_EQ(message(u"%s", {5}).rfind(u"Format error", 0), 0u);
  EXPECT_EQ(message(u"%u", {u"5"}).rfind(u"Format error", 0), 0u);
  EXPECT_EQ(message(u"%d %d", {1}).rfind(u"Format error", 0), 0u);
  EXPECT_EQ(message(u"%f", {1}).rfind(u"Format error", 0), 0u);
  EXPECT_EQ(message(u"100%", {}).rfind(u"Format error", 0), 0u);
  EXPECT_EQ(message(u"%-", {1}).rfind(u"Format error", 0), 0u);
}

TEST(FormatTest, ExtraArgumentsAreIgnored) {
  EXPECT_EQ(Format(u"%d", {1, 2, u"x"}), u"1");
}

TEST(FormatTest, HugeWidthIsRefusedNotAllocated) {
  EXPECT_THROW(Format(u"%999999999d", {1}), Error);
  EXPECT_THROW(Format(u"%*d", {INT_MAX, 1}), Error);
  EXPECT_THROW(Format(u"%.*d", {UINT64_MAX, 1}), Error);
}

TEST(FormatTest, VectorOverloadMatchesInitializerList) {
  const FormatArgs args{16u, 2u, Text(u"Active device is not selected")};
  EXPECT_EQ(Format(u"Fatal Error: %u, %u, %s", args),
            u"Fatal Error: 16, 2, Active device is not selected");
}

}  // namespace
}  // namespace qz
