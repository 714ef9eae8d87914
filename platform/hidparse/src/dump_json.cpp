// CapsToJson: preparsed data as JSON, the format `hidcaps --json` prints.
#include "hidparse/json.h"

namespace hidparse {

namespace {

using Json = nlohmann::ordered_json;

const char* const kTypeKeys[3] = {"input", "output", "feature"};

Json CapsSummary(const HIDP_CAPS& c) {
  return Json{
      {"Usage", c.Usage},
      {"UsagePage", c.UsagePage},
      {"InputReportByteLength", c.InputReportByteLength},
      {"OutputReportByteLength", c.OutputReportByteLength},
      {"FeatureReportByteLength", c.FeatureReportByteLength},
      {"NumberLinkCollectionNodes", c.NumberLinkCollectionNodes},
      {"NumberInputButtonCaps", c.NumberInputButtonCaps},
      {"NumberInputValueCaps", c.NumberInputValueCaps},
      {"NumberInputDataIndices", c.NumberInputDataIndices},
      {"NumberOutputButtonCaps", c.NumberOutputButtonCaps},
      {"NumberOutputValueCaps", c.NumberOutputValueCaps},
      {"NumberOutputDataIndices", c.NumberOutputDataIndices},
      {"NumberFeatureButtonCaps", c.NumberFeatureButtonCaps},
      {"NumberFeatureValueCaps", c.NumberFeatureValueCaps},
      {"NumberFeatureDataIndices", c.NumberFeatureDataIndices},
  };
}

template <typename Caps>
void AddCommon(Json& j, const Caps& c) {
  j["UsagePage"] = c.UsagePage;
  j["ReportID"] = c.ReportID;
  j["IsAlias"] = c.IsAlias != 0;
  j["BitField"] = c.BitField;
  j["LinkCollection"] = c.LinkCollection;
  j["LinkUsage"] = c.LinkUsage;
  j["LinkUsagePage"] = c.LinkUsagePage;
  j["IsRange"] = c.IsRange != 0;
  j["IsStringRange"] = c.IsStringRange != 0;
  j["IsDesignatorRange"] = c.IsDesignatorRange != 0;
  j["IsAbsolute"] = c.IsAbsolute != 0;
}

template <typename Caps>
void AddUsages(Json& j, const Caps& c) {
  if (c.IsRange) {
    j["Range"] = Json{
        {"UsageMin", c.Range.UsageMin},
        {"UsageMax", c.Range.UsageMax},
        {"StringMin", c.Range.StringMin},
        {"StringMax", c.Range.StringMax},
        {"DesignatorMin", c.Range.DesignatorMin},
        {"DesignatorMax", c.Range.DesignatorMax},
        {"DataIndexMin", c.Range.DataIndexMin},
        {"DataIndexMax", c.Range.DataIndexMax},
    };
  } else {
    j["NotRange"] = Json{
        {"Usage", c.NotRange.Usage},
        {"StringIndex", c.NotRange.StringIndex},
        {"DesignatorIndex", c.NotRange.DesignatorIndex},
        {"DataIndex", c.NotRange.DataIndex},
    };
  }
}

Json ButtonCaps(const HIDP_BUTTON_CAPS& c) {
  Json j = Json::object();
  AddCommon(j, c);
  j["ReportCount"] = c.ReportCount;
  AddUsages(j, c);
  return j;
}

Json ValueCaps(const HIDP_VALUE_CAPS& c) {
  Json j = Json::object();
  AddCommon(j, c);
  j["HasNull"] = c.HasNull != 0;
  j["BitSize"] = c.BitSize;
  j["ReportCount"] = c.ReportCount;
  j["UnitsExp"] = c.UnitsExp;
  j["Units"] = c.Units;
  j["LogicalMin"] = c.LogicalMin;
  j["LogicalMax"] = c.LogicalMax;
  j["PhysicalMin"] = c.PhysicalMin;
  j["PhysicalMax"] = c.PhysicalMax;
  AddUsages(j, c);
  return j;
}

Json LinkNode(const HIDP_LINK_COLLECTION_NODE& n) {
  return Json{
      {"LinkUsage", n.LinkUsage},
      {"LinkUsagePage", n.LinkUsagePage},
      {"Parent", n.Parent},
      {"NumberOfChildren", n.NumberOfChildren},
      {"NextSibling", n.NextSibling},
      {"FirstChild", n.FirstChild},
      {"CollectionType", static_cast<unsigned>(n.CollectionType)},
      {"IsAlias", n.IsAlias != 0},
  };
}

}  // namespace

nlohmann::ordered_json CapsToJson(const PreparsedData& data) {
  Json buttons = Json::object();
  Json values = Json::object();
  for (int type = 0; type < 3; ++type) {
    Json& b = buttons[kTypeKeys[type]] = Json::array();
    for (const HIDP_BUTTON_CAPS& c : data.button_caps[type]) b.push_back(ButtonCaps(c));
    Json& v = values[kTypeKeys[type]] = Json::array();
    for (const HIDP_VALUE_CAPS& c : data.value_caps[type]) v.push_back(ValueCaps(c));
  }
  Json nodes = Json::array();
  for (const HIDP_LINK_COLLECTION_NODE& n : data.link_collections) nodes.push_back(LinkNode(n));

  Json out = Json::object();
  out["caps"] = CapsSummary(data.caps);
  out["button_caps"] = std::move(buttons);
  out["value_caps"] = std::move(values);
  out["link_collections"] = std::move(nodes);
  return out;
}

}  // namespace hidparse
