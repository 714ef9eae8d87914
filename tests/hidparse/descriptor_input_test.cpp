// hidcaps input: hex text in its accepted spellings, binary detection, and a
// clear error for everything else.
#include <gtest/gtest.h>

#include "descriptor_input.h"

namespace hidcaps {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(DescriptorInput, ReadsHexInEveryAcceptedSpelling) {
  const struct {
    const char* text;
    Bytes bytes;
  } cases[] = {
      {"05 01 09 02", {0x05, 0x01, 0x09, 0x02}},
      {"0x05, 0x01,\n0x09,0x2", {0x05, 0x01, 0x09, 0x02}},
      {"05010902\n", {0x05, 0x01, 0x09, 0x02}},  // xxd -p style
      {"05 01 # Usage Page\n// whole-line comment\n09 02 // Usage\r\n", {0x05, 0x01, 0x09, 0x02}},
      {"a1 C0", {0xA1, 0xC0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const DescriptorInput input = DecodeDescriptor(c.text, InputFormat::kAuto);
    ASSERT_TRUE(input.ok()) << input.error;
    EXPECT_EQ(input.bytes, c.bytes);
  }
}

TEST(DescriptorInput, RejectsBadHexNamingTheLineAndToken) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"05 01\n09 2", "line 2: '2' has an odd number of hex digits"},
      {"05 0g", "line 1: '0g' is not hex"},
      {"0x123", "'0x123' is not one byte"},
      {"0x", "'0x' is not one byte"},
      {"05;01", "'05;01' is not hex"},
      {"# only a comment\n", "no descriptor bytes"},
      {"", "input is empty"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const DescriptorInput input = DecodeDescriptor(c.text, InputFormat::kAuto);
    EXPECT_FALSE(input.ok());
    EXPECT_TRUE(input.bytes.empty());
    EXPECT_NE(input.error.find(c.error), std::string::npos) << input.error;
  }
}

TEST(DescriptorInput, TellsBinaryFromTextAndObeysAForcedFormat) {
  const std::string binary("\x05\x01\x09\x02\xA1\x01\xC0", 7);
  const DescriptorInput guessed = DecodeDescriptor(binary, InputFormat::kAuto);
  ASSERT_TRUE(guessed.ok());
  EXPECT_EQ(guessed.bytes, (Bytes{0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0xC0}));

  // "05" read as binary is two bytes '0' and '5'; binary read as hex is an error.
  EXPECT_EQ(DecodeDescriptor("05", InputFormat::kBinary).bytes, (Bytes{'0', '5'}));
  EXPECT_FALSE(DecodeDescriptor(binary, InputFormat::kHex).ok());
}

// Editors add a byte order mark, and comments are written in any language.
TEST(DescriptorInput, HexTextWithAByteOrderMarkOrUtf8CommentsIsHex) {
  for (const char* text : {"\xEF\xBB\xBF" "05 01 09 02", "05 01 # Seite \xC3\xBC\n09 02 // \xE2\x9C\x93"}) {
    SCOPED_TRACE(text);
    const DescriptorInput input = DecodeDescriptor(text, InputFormat::kAuto);
    ASSERT_TRUE(input.ok()) << input.error;
    EXPECT_EQ(input.bytes, (Bytes{0x05, 0x01, 0x09, 0x02}));
  }
  EXPECT_EQ(DecodeDescriptor("\xEF\xBB\xBF" "05", InputFormat::kHex).bytes, (Bytes{0x05}));
  // Outside a comment a byte from 0x80 on is still binary.
  EXPECT_EQ(DecodeDescriptor("05 \xC3\xBC", InputFormat::kAuto).bytes.size(), 5u);
}

TEST(DescriptorInput, ReportsFilesThatCannotBeRead) {
  const DescriptorInput missing = ReadDescriptor("/nonexistent/descriptor.hex", InputFormat::kAuto);
  EXPECT_FALSE(missing.ok());
  EXPECT_NE(missing.error.find("cannot open /nonexistent/descriptor.hex"), std::string::npos);
  const DescriptorInput directory = ReadDescriptor("/", InputFormat::kAuto);
  EXPECT_FALSE(directory.ok());
}

}  // namespace
}  // namespace hidcaps
