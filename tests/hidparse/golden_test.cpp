// Golden cases: each descriptor in tests/data/descriptors must give exactly the
// caps dump worked out for it, and the JSON form must carry the same records.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "descriptor_input.h"
#include "hidparse/dump.h"
#include "hidparse/json.h"

namespace {

std::vector<std::string> GoldenCases() { return {HIDPARSE_GOLDEN_CASES}; }

std::string Path(const std::string& name, const char* extension) {
  return std::string(HIDPARSE_DESCRIPTOR_DIR) + "/" + name + extension;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

hidparse::ParseResult ParseCase(const std::string& name) {
  const hidcaps::DescriptorInput input =
      hidcaps::ReadDescriptor(Path(name, ".hex"), hidcaps::InputFormat::kAuto);
  EXPECT_TRUE(input.ok()) << input.error;
  return hidparse::Parse(input.bytes);
}

class Golden : public ::testing::TestWithParam<std::string> {};

TEST_P(Golden, CapsMatchTheWorkedOutDump) {
  const hidparse::ParseResult result = ParseCase(GetParam());
  ASSERT_TRUE(result.ok()) << result.error;
  const std::string actual = hidparse::DumpCaps(result);
  const std::string expected = ReadText(Path(GetParam(), ".caps"));
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(actual, expected) << "actual dump of " << GetParam() << ":\n" << actual;
}

// Every JSON field equals the record field of the same Windows name.
template <typename Caps>
void ExpectCommonJson(const nlohmann::ordered_json& j, const Caps& c) {
  EXPECT_EQ(j.at("UsagePage"), c.UsagePage);
  EXPECT_EQ(j.at("ReportID"), c.ReportID);
  EXPECT_EQ(j.at("IsAlias"), c.IsAlias != 0);
  EXPECT_EQ(j.at("BitField"), c.BitField);
  EXPECT_EQ(j.at("LinkCollection"), c.LinkCollection);
  EXPECT_EQ(j.at("LinkUsage"), c.LinkUsage);
  EXPECT_EQ(j.at("LinkUsagePage"), c.LinkUsagePage);
  EXPECT_EQ(j.at("IsRange"), c.IsRange != 0);
  EXPECT_EQ(j.at("IsStringRange"), c.IsStringRange != 0);
  EXPECT_EQ(j.at("IsDesignatorRange"), c.IsDesignatorRange != 0);
  EXPECT_EQ(j.at("IsAbsolute"), c.IsAbsolute != 0);
  EXPECT_EQ(j.at("ReportCount"), c.ReportCount);
  EXPECT_EQ(j.contains("Range"), c.IsRange != 0);
  EXPECT_EQ(j.contains("NotRange"), c.IsRange == 0);
  if (c.IsRange) {
    const auto& r = j.at("Range");
    EXPECT_EQ(r.size(), 8u);
    EXPECT_EQ(r.at("UsageMin"), c.Range.UsageMin);
    EXPECT_EQ(r.at("UsageMax"), c.Range.UsageMax);
    EXPECT_EQ(r.at("StringMin"), c.Range.StringMin);
    EXPECT_EQ(r.at("StringMax"), c.Range.StringMax);
    EXPECT_EQ(r.at("DesignatorMin"), c.Range.DesignatorMin);
    EXPECT_EQ(r.at("DesignatorMax"), c.Range.DesignatorMax);
    EXPECT_EQ(r.at("DataIndexMin"), c.Range.DataIndexMin);
    EXPECT_EQ(r.at("DataIndexMax"), c.Range.DataIndexMax);
  } else {
    const auto& n = j.at("NotRange");
    EXPECT_EQ(n.size(), 4u);
    EXPECT_EQ(n.at("Usage"), c.NotRange.Usage);
    EXPECT_EQ(n.at("StringIndex"), c.NotRange.StringIndex);
    EXPECT_EQ(n.at("DesignatorIndex"), c.NotRange.DesignatorIndex);
    EXPECT_EQ(n.at("DataIndex"), c.NotRange.DataIndex);
  }
}

void ExpectJsonMatches(const nlohmann::ordered_json& j, const hidparse::PreparsedData& data) {
  const HIDP_CAPS& c = data.caps;
  const auto& caps = j.at("caps");
  EXPECT_EQ(caps.size(), 15u);  // every HIDP_CAPS field but Reserved
  EXPECT_EQ(caps.at("Usage"), c.Usage);
  EXPECT_EQ(caps.at("UsagePage"), c.UsagePage);
  EXPECT_EQ(caps.at("InputReportByteLength"), c.InputReportByteLength);
  EXPECT_EQ(caps.at("OutputReportByteLength"), c.OutputReportByteLength);
  EXPECT_EQ(caps.at("FeatureReportByteLength"), c.FeatureReportByteLength);
  EXPECT_EQ(caps.at("NumberLinkCollectionNodes"), c.NumberLinkCollectionNodes);
  EXPECT_EQ(caps.at("NumberInputButtonCaps"), c.NumberInputButtonCaps);
  EXPECT_EQ(caps.at("NumberInputValueCaps"), c.NumberInputValueCaps);
  EXPECT_EQ(caps.at("NumberInputDataIndices"), c.NumberInputDataIndices);
  EXPECT_EQ(caps.at("NumberOutputButtonCaps"), c.NumberOutputButtonCaps);
  EXPECT_EQ(caps.at("NumberOutputValueCaps"), c.NumberOutputValueCaps);
  EXPECT_EQ(caps.at("NumberOutputDataIndices"), c.NumberOutputDataIndices);
  EXPECT_EQ(caps.at("NumberFeatureButtonCaps"), c.NumberFeatureButtonCaps);
  EXPECT_EQ(caps.at("NumberFeatureValueCaps"), c.NumberFeatureValueCaps);
  EXPECT_EQ(caps.at("NumberFeatureDataIndices"), c.NumberFeatureDataIndices);

  const char* const types[3] = {"input", "output", "feature"};
  for (int t = 0; t < 3; ++t) {
    SCOPED_TRACE(types[t]);
    const auto& buttons = j.at("button_caps").at(types[t]);
    ASSERT_EQ(buttons.size(), data.button_caps[t].size());
    for (std::size_t i = 0; i < buttons.size(); ++i) {
      SCOPED_TRACE("button_caps[" + std::to_string(i) + "]");
      EXPECT_EQ(buttons[i].size(), 13u);
      ExpectCommonJson(buttons[i], data.button_caps[t][i]);
    }
    const auto& values = j.at("value_caps").at(types[t]);
    ASSERT_EQ(values.size(), data.value_caps[t].size());
    for (std::size_t i = 0; i < values.size(); ++i) {
      SCOPED_TRACE("value_caps[" + std::to_string(i) + "]");
      const HIDP_VALUE_CAPS& v = data.value_caps[t][i];
      EXPECT_EQ(values[i].size(), 21u);
      ExpectCommonJson(values[i], v);
      EXPECT_EQ(values[i].at("HasNull"), v.HasNull != 0);
      EXPECT_EQ(values[i].at("BitSize"), v.BitSize);
      EXPECT_EQ(values[i].at("UnitsExp"), v.UnitsExp);
      EXPECT_EQ(values[i].at("Units"), v.Units);
      EXPECT_EQ(values[i].at("LogicalMin"), v.LogicalMin);
      EXPECT_EQ(values[i].at("LogicalMax"), v.LogicalMax);
      EXPECT_EQ(values[i].at("PhysicalMin"), v.PhysicalMin);
      EXPECT_EQ(values[i].at("PhysicalMax"), v.PhysicalMax);
    }
  }
  const auto& nodes = j.at("link_collections");
  ASSERT_EQ(nodes.size(), data.link_collections.size());
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const HIDP_LINK_COLLECTION_NODE& n = data.link_collections[i];
    EXPECT_EQ(nodes[i].at("LinkUsage"), n.LinkUsage);
    EXPECT_EQ(nodes[i].at("LinkUsagePage"), n.LinkUsagePage);
    EXPECT_EQ(nodes[i].at("Parent"), n.Parent);
    EXPECT_EQ(nodes[i].at("NumberOfChildren"), n.NumberOfChildren);
    EXPECT_EQ(nodes[i].at("NextSibling"), n.NextSibling);
    EXPECT_EQ(nodes[i].at("FirstChild"), n.FirstChild);
    EXPECT_EQ(nodes[i].at("CollectionType"), static_cast<unsigned>(n.CollectionType));
    EXPECT_EQ(nodes[i].at("IsAlias"), n.IsAlias != 0);
  }
}

TEST_P(Golden, JsonCarriesEveryFieldUnderItsWindowsName) {
  const hidparse::ParseResult result = ParseCase(GetParam());
  ASSERT_TRUE(result.ok()) << result.error;
  for (const auto& data : result.collections) {
    const auto json = hidparse::CapsToJson(*data);
    EXPECT_EQ(json.size(), 4u);
    ExpectJsonMatches(json, *data);
  }
}

INSTANTIATE_TEST_SUITE_P(Descriptors, Golden, ::testing::ValuesIn(GoldenCases()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (c == '-') c = '_';
                           }
                           return name;
                         });

}  // namespace
