// Shared helpers of the hidparse tests.
#include "test_support.h"

#include "descriptor_input.h"
#include "hidparse/dump.h"

namespace hidparse_test {

std::vector<std::uint8_t> Bytes(const std::string& hex) {
  const hidcaps::DescriptorInput input = hidcaps::DecodeDescriptor(hex, hidcaps::InputFormat::kHex);
  EXPECT_TRUE(input.ok()) << input.error;
  return input.bytes;
}

hidparse::ParseResult ParseOk(const std::string& hex) {
  hidparse::ParseResult result = hidparse::Parse(Bytes(hex));
  EXPECT_TRUE(result.ok()) << result.error;
  return result;
}

const hidparse::PreparsedData& Only(const hidparse::ParseResult& result) {
  static const hidparse::PreparsedData empty;
  EXPECT_EQ(result.collections.size(), 1u);
  return result.collections.empty() ? empty : *result.collections.front();
}

#define EXPECT_FIELD(field) EXPECT_EQ(actual.field, expected.field) << #field

namespace {

template <typename Caps>
void ExpectCommon(const Caps& actual, const Caps& expected) {
  EXPECT_FIELD(UsagePage);
  EXPECT_FIELD(ReportID);
  EXPECT_FIELD(IsAlias);
  EXPECT_FIELD(BitField);
  EXPECT_FIELD(LinkCollection);
  EXPECT_FIELD(LinkUsage);
  EXPECT_FIELD(LinkUsagePage);
  EXPECT_FIELD(IsRange);
  EXPECT_FIELD(IsStringRange);
  EXPECT_FIELD(IsDesignatorRange);
  EXPECT_FIELD(IsAbsolute);
  EXPECT_FIELD(ReportCount);
  EXPECT_FIELD(Range.UsageMin);
  EXPECT_FIELD(Range.UsageMax);
  EXPECT_FIELD(Range.StringMin);
  EXPECT_FIELD(Range.StringMax);
  EXPECT_FIELD(Range.DesignatorMin);
  EXPECT_FIELD(Range.DesignatorMax);
  EXPECT_FIELD(Range.DataIndexMin);
  EXPECT_FIELD(Range.DataIndexMax);
}

}  // namespace

void ExpectValueCaps(const HIDP_VALUE_CAPS& actual, const HIDP_VALUE_CAPS& expected) {
  ExpectCommon(actual, expected);
  EXPECT_FIELD(HasNull);
  EXPECT_FIELD(BitSize);
  EXPECT_FIELD(UnitsExp);
  EXPECT_FIELD(Units);
  EXPECT_FIELD(LogicalMin);
  EXPECT_FIELD(LogicalMax);
  EXPECT_FIELD(PhysicalMin);
  EXPECT_FIELD(PhysicalMax);
}

void ExpectButtonCaps(const HIDP_BUTTON_CAPS& actual, const HIDP_BUTTON_CAPS& expected) {
  ExpectCommon(actual, expected);
}

void ExpectNode(const HIDP_LINK_COLLECTION_NODE& actual,
                const HIDP_LINK_COLLECTION_NODE& expected) {
  EXPECT_FIELD(LinkUsage);
  EXPECT_FIELD(LinkUsagePage);
  EXPECT_FIELD(Parent);
  EXPECT_FIELD(NumberOfChildren);
  EXPECT_FIELD(NextSibling);
  EXPECT_FIELD(FirstChild);
  EXPECT_FIELD(CollectionType);
  EXPECT_FIELD(IsAlias);
}

#undef EXPECT_FIELD

void ExpectValueCapsList(const hidparse::PreparsedData& data, HIDP_REPORT_TYPE type,
                         const std::vector<HIDP_VALUE_CAPS>& expected) {
  SCOPED_TRACE("caps dump:\n" + hidparse::DumpCaps(data));
  const auto& actual = data.value_caps[type];
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    SCOPED_TRACE("value_caps[" + std::to_string(i) + "]");
    ExpectValueCaps(actual[i], expected[i]);
  }
}

void ExpectButtonCapsList(const hidparse::PreparsedData& data, HIDP_REPORT_TYPE type,
                          const std::vector<HIDP_BUTTON_CAPS>& expected) {
  SCOPED_TRACE("caps dump:\n" + hidparse::DumpCaps(data));
  const auto& actual = data.button_caps[type];
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    SCOPED_TRACE("button_caps[" + std::to_string(i) + "]");
    ExpectButtonCaps(actual[i], expected[i]);
  }
}

HIDP_CAPS_RANGE Usages(USAGE min, USAGE max, USHORT index_min, USHORT index_max) {
  HIDP_CAPS_RANGE range{};
  range.UsageMin = min;
  range.UsageMax = max;
  range.DataIndexMin = index_min;
  range.DataIndexMax = index_max;
  return range;
}

}  // namespace hidparse_test
