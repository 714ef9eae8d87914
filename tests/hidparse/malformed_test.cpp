// Descriptors the parser must reject (with the fault and its byte offset) and
// hostile ones that must stay cheap: never a crash, never unbounded work.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "hidparse/dump.h"
#include "test_support.h"

namespace hidparse_test {
namespace {

struct Rejected {
  const char* name;
  const char* hex;
  std::size_t offset;
  const char* message;
};

const Rejected kRejected[] = {
    {"truncated short item", "05 01 09 02 A1 01 26 FF", 6, "truncated"},
    {"truncated long item", "05 01 FE 05 00 01", 2, "truncated"},
    {"End Collection without Collection", "05 01 C0", 2, "End Collection without an open"},
    {"collection never closed", "05 01 09 02 A1 01 A1 00", 8, "inside a collection (2 not closed"},
    {"Pop without Push", "05 01 B4", 2, "Pop without a matching Push"},
    {"Report ID 0", "05 01 09 02 A1 01 85 00 C0", 6, "Report ID 0 is reserved"},
    {"Report ID above 255", "86 00 01", 0, "Report ID 256 does not fit"},
    {"Report Count too large", "97 00 00 01 00", 0, "Report Count 65536 exceeds"},
    {"Report Size too large", "77 00 00 01 00", 0, "Report Size 65536 exceeds"},
    {"report longer than 65535 bytes", "05 01 09 02 A1 01 75 FF 96 FF FF 81 01 C0", 11,
     "beyond 65535 bytes"},
    {"unknown global tag", "C4", 0, "unknown global item tag 12"},
    {"unknown local tag", "68", 0, "unknown local item tag 6"},
    {"unknown main tag", "05 01 09 02 A1 01 D0", 6, "unknown main item tag 13"},
    {"reserved item type", "0C", 0, "reserved item type"},
    {"nested Delimiter(Open)", "A9 01 A9 01", 2, "inside an open delimiter set"},
    {"Delimiter(Close) alone", "A9 00", 0, "Delimiter(Close) without"},
    {"Delimiter value 2", "A9 02", 0, "neither 0 nor 1"},
    {"delimiter open at a main item", "05 01 09 02 A1 01 A9 01 09 30 75 08 95 01 81 02 C0", 14,
     "delimiter set not closed"},
    {"usage range inside a delimiter", "A9 01 19 01", 2, "inside a delimiter set"},
    {"Usage Minimum without Maximum", "05 01 09 02 A1 01 19 01 75 01 95 01 81 02 C0", 12,
     "Usage Minimum without a Maximum"},
    {"Usage Maximum below Minimum", "19 05 29 01", 2, "below Usage Minimum"},
    {"range across usage pages", "1B 01 00 09 00 2B 05 00 0C 00", 5, "different usage pages"},
    {"main item outside a collection", "75 08 95 01 81 01", 4, "outside any collection"},
    {"report IDs used by some items only",
     "05 01 09 02 A1 01 75 08 95 01 81 01 85 01 81 01 C0", 10,
     "without a report ID in a descriptor that uses report IDs"},
    {"report ID in two top-level collections",
     "05 01 09 02 A1 01 85 01 75 08 95 01 81 01 C0 09 06 A1 01 81 01 C0", 19,
     "report ID 1 is used in top-level collections 1 and 2"},
    {"two top-level collections without report IDs",
     "05 01 09 02 A1 01 75 08 95 01 81 01 C0 09 06 A1 01 81 01 C0", 17,
     "several top-level collections need report IDs"},
    {"Buffered Bytes not byte-aligned",
     "05 01 09 02 A1 01 75 01 95 01 81 01 75 08 09 30 82 02 01 C0", 16, "Buffered Bytes"},
    {"no collection at all", "05 01 09 02", 4, "no collection"},
    {"more than 65535 data indices", "05 01 09 02 A1 01 19 00 2A FF FF 75 08 95 01 81 00 C0", 15,
     "more than 65535 data indices"},
};

TEST(Malformed, IsRejectedWithTheFaultAndItsOffset) {
  for (const Rejected& c : kRejected) {
    SCOPED_TRACE(c.name);
    const hidparse::ParseResult result = hidparse::Parse(Bytes(c.hex));
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.collections.empty());
    EXPECT_EQ(result.error_offset, c.offset) << result.error;
    EXPECT_NE(result.error.find(c.message), std::string::npos) << result.error;
    EXPECT_NE(result.error.find("byte offset " + std::to_string(c.offset)), std::string::npos)
        << result.error;
  }
}

TEST(Malformed, EmptyOrNullDescriptorHasNoCollection) {
  EXPECT_FALSE(hidparse::Parse(nullptr, 0).ok());
  EXPECT_FALSE(hidparse::Parse(std::vector<std::uint8_t>{}).ok());
}

std::vector<std::uint8_t> Repeat(const std::vector<std::uint8_t>& head,
                                 const std::vector<std::uint8_t>& unit, std::size_t times,
                                 const std::vector<std::uint8_t>& tail) {
  std::vector<std::uint8_t> out = head;
  for (std::size_t i = 0; i < times; ++i) out.insert(out.end(), unit.begin(), unit.end());
  out.insert(out.end(), tail.begin(), tail.end());
  return out;
}

TEST(Malformed, DeepNestingIsHandledWithoutRecursionUpToTheNodeLimit) {
  const std::vector<std::uint8_t> app = {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01};
  std::vector<std::uint8_t> nested = Repeat(app, {0xA1, 0x00}, 60000, {});
  nested.insert(nested.end(), 60001, 0xC0);
  const auto deep = hidparse::Parse(nested);
  ASSERT_TRUE(deep.ok()) << deep.error;
  EXPECT_EQ(deep.collections.front()->caps.NumberLinkCollectionNodes, 60001);
  EXPECT_EQ(deep.collections.front()->link_collections.back().Parent, 59999);

  // One node too many for the 16-bit count: node 0 plus 65535 children.
  const auto wide = hidparse::Parse(Repeat(app, {0xA1, 0x00, 0xC0}, 65535, {0xC0}));
  EXPECT_FALSE(wide.ok());
  EXPECT_NE(wide.error.find("more than 65535 link collections"), std::string::npos) << wide.error;
  EXPECT_EQ(wide.error_offset, app.size() + 65534 * 3);
}

TEST(Malformed, PushDepthIsBounded) {
  const auto result = hidparse::Parse(Repeat({}, {0xA4}, 257, {}));
  EXPECT_FALSE(result.ok());
  EXPECT_EQ(result.error_offset, 256u);
  EXPECT_NE(result.error.find("Push nested deeper than 256"), std::string::npos);
}

// Each top-level collection gets preparsed data of its own: their number is bounded, so a
// small descriptor cannot ask for gigabytes.
TEST(Malformed, TopLevelCollectionCountIsBounded) {
  const std::vector<std::uint8_t> empty_tlc = {0xA1, 0x01, 0xC0};
  const auto most = hidparse::Parse(Repeat({}, empty_tlc, 1024, {}));
  ASSERT_TRUE(most.ok()) << most.error;
  EXPECT_EQ(most.collections.size(), 1024u);

  const auto result = hidparse::Parse(Repeat({}, empty_tlc, 600000, {}));
  EXPECT_FALSE(result.ok());
  EXPECT_TRUE(result.collections.empty());
  EXPECT_EQ(result.error_offset, 1024u * 3);
  EXPECT_NE(result.error.find("more than 1024 top-level collections"), std::string::npos)
      << result.error;
}

TEST(Malformed, UnusedUsagesCostNothingLater) {
  // 200000 usages for one field: one cap, the rest dropped as Windows drops them.
  const auto result =
      hidparse::Parse(Repeat({0x05, 0x01, 0x09, 0x04, 0xA1, 0x01}, {0x09, 0x30}, 200000,
                             {0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xC0}));
  ASSERT_TRUE(result.ok()) << result.error;
  EXPECT_EQ(result.collections.front()->value_caps[HidP_Input].size(), 1u);
}

TEST(Malformed, TooManyCapabilitiesIsRejected) {
  // 65536 array usages would need 65536 data indices.
  const auto result =
      hidparse::Parse(Repeat({0x05, 0x01, 0x09, 0x04, 0xA1, 0x01}, {0x09, 0x30}, 65536,
                             {0x75, 0x08, 0x95, 0x01, 0x81, 0x00, 0xC0}));
  EXPECT_FALSE(result.ok());
  EXPECT_NE(result.error.find("more than 65535"), std::string::npos) << result.error;
}

TEST(Malformed, OddButLegalSizesParse) {
  // A 64-bit value and a zero-width value: Windows keeps both as value caps.
  const auto result = ParseOk("05 01 09 04 A1 01 75 40 95 01 09 30 81 02"
                              " 75 00 09 31 81 02 C0");
  const auto& caps = Only(result).value_caps[HidP_Input];
  ASSERT_EQ(caps.size(), 2u);
  EXPECT_EQ(caps[0].BitSize, 64);
  EXPECT_EQ(caps[1].BitSize, 0);
  EXPECT_EQ(Only(result).caps.InputReportByteLength, 9);
}

// A cheap deterministic sweep over random item streams; the fuzzer goes further.
TEST(Malformed, RandomItemStreamsNeverBreakTheParserOrTheQueries) {
  static const std::uint8_t kPrefixes[] = {0x05, 0x06, 0x09, 0x0B, 0x15, 0x25, 0x19, 0x29,
                                           0x75, 0x95, 0x85, 0x81, 0x82, 0x91, 0xB1, 0xA1,
                                           0xC0, 0xA4, 0xB4, 0xA9, 0x79, 0x89, 0x99, 0xFE};
  std::uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  for (int round = 0; round < 20000; ++round) {
    std::vector<std::uint8_t> bytes = {0x05, 0x01, 0x09, 0x04, 0xA1, 0x01};
    const std::size_t items = next() % 24;
    for (std::size_t i = 0; i < items; ++i) {
      bytes.push_back(kPrefixes[next() % sizeof kPrefixes]);
      const std::size_t extra = next() % 3;
      for (std::size_t k = 0; k < extra; ++k) bytes.push_back(static_cast<std::uint8_t>(next()));
    }
    if (next() % 2) bytes.push_back(0xC0);
    const hidparse::ParseResult result = hidparse::Parse(bytes);
    // Either collections and no error, or an error within the input and nothing else.
    ASSERT_EQ(result.ok(), !result.collections.empty()) << result.error;
    ASSERT_LE(result.error_offset, bytes.size());
    for (const auto& data : result.collections) {
      HIDP_BUTTON_CAPS buttons[4];
      USHORT length = 4;
      hidparse::GetButtonCaps(HidP_Feature, buttons, &length, data.get());
      ASSERT_EQ(length, data->button_caps[HidP_Feature].size());
      ASSERT_FALSE(hidparse::DumpCaps(*data).empty());
    }
  }
}

}  // namespace
}  // namespace hidparse_test
