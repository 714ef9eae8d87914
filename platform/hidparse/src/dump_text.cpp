// DumpCaps: the single text rendering of preparsed data.
#include <cstdarg>
#include <cstdio>
#include <string>

#include "hidparse/dump.h"

namespace hidparse {

namespace {

void Append(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

void Append(std::string& out, const char* format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (n > 0) out.append(line, static_cast<std::size_t>(n) < sizeof line ? n : sizeof line - 1);
}

// Sizes are printed with %u: the Windows C runtime has no %zu.
unsigned Count(std::size_t n) { return static_cast<unsigned>(n); }

const char* const kTypeNames[3] = {"Input", "Output", "Feature"};

void DumpHidpCaps(std::string& out, const HIDP_CAPS& c) {
  Append(out, "HIDP_CAPS\n");
  Append(out, "  Usage 0x%04X  UsagePage 0x%04X\n", c.Usage, c.UsagePage);
  Append(out, "  InputReportByteLength %u  OutputReportByteLength %u  FeatureReportByteLength %u\n",
         c.InputReportByteLength, c.OutputReportByteLength, c.FeatureReportByteLength);
  Append(out, "  NumberLinkCollectionNodes %u\n", c.NumberLinkCollectionNodes);
  Append(out, "  NumberInputButtonCaps %u  NumberInputValueCaps %u  NumberInputDataIndices %u\n",
         c.NumberInputButtonCaps, c.NumberInputValueCaps, c.NumberInputDataIndices);
  Append(out, "  NumberOutputButtonCaps %u  NumberOutputValueCaps %u  NumberOutputDataIndices %u\n",
         c.NumberOutputButtonCaps, c.NumberOutputValueCaps, c.NumberOutputDataIndices);
  Append(out,
         "  NumberFeatureButtonCaps %u  NumberFeatureValueCaps %u  NumberFeatureDataIndices %u\n",
         c.NumberFeatureButtonCaps, c.NumberFeatureValueCaps, c.NumberFeatureDataIndices);
}

void DumpReportIds(std::string& out, const PreparsedData& data) {
  Append(out, "Report IDs:");
  for (int type = 0; type < 3; ++type) {
    Append(out, "%s%s", type == 0 ? " " : "; ", kTypeNames[type]);
    if (data.report_ids[type].empty()) Append(out, " none");
    for (std::uint8_t id : data.report_ids[type]) Append(out, " %u", id);
  }
  Append(out, "\n");
}

void DumpLinkCollections(std::string& out, const PreparsedData& data) {
  Append(out, "Link collections (%u)\n", Count(data.link_collections.size()));
  for (std::size_t i = 0; i < data.link_collections.size(); ++i) {
    const HIDP_LINK_COLLECTION_NODE& n = data.link_collections[i];
    Append(out,
           "  [%u] LinkUsage 0x%04X LinkUsagePage 0x%04X Parent %u NumberOfChildren %u "
           "NextSibling %u FirstChild %u CollectionType %u IsAlias %u\n",
           Count(i), n.LinkUsage, n.LinkUsagePage, n.Parent, n.NumberOfChildren, n.NextSibling,
           n.FirstChild, static_cast<unsigned>(n.CollectionType),
           static_cast<unsigned>(n.IsAlias));
  }
}

// The fields both cap records share, in record order.
template <typename Caps>
void DumpCommon(std::string& out, std::size_t index, const Caps& c) {
  Append(out,
         "  [%u] UsagePage 0x%04X ReportID %u IsAlias %u BitField 0x%03X LinkCollection %u "
         "LinkUsage 0x%04X LinkUsagePage 0x%04X IsRange %u IsStringRange %u "
         "IsDesignatorRange %u IsAbsolute %u\n",
         Count(index), c.UsagePage, c.ReportID, c.IsAlias, c.BitField, c.LinkCollection,
         c.LinkUsage, c.LinkUsagePage, c.IsRange, c.IsStringRange, c.IsDesignatorRange,
         c.IsAbsolute);
}

template <typename Caps>
void DumpUsages(std::string& out, const Caps& c) {
  if (c.IsRange) {
    Append(out,
           "      Range UsageMin 0x%04X UsageMax 0x%04X StringMin %u StringMax %u "
           "DesignatorMin %u DesignatorMax %u DataIndexMin %u DataIndexMax %u\n",
           c.Range.UsageMin, c.Range.UsageMax, c.Range.StringMin, c.Range.StringMax,
           c.Range.DesignatorMin, c.Range.DesignatorMax, c.Range.DataIndexMin,
           c.Range.DataIndexMax);
  } else {
    Append(out, "      NotRange Usage 0x%04X StringIndex %u DesignatorIndex %u DataIndex %u\n",
           c.NotRange.Usage, c.NotRange.StringIndex, c.NotRange.DesignatorIndex,
           c.NotRange.DataIndex);
  }
}

void DumpButtonCaps(std::string& out, const char* type, const std::vector<HIDP_BUTTON_CAPS>& caps) {
  Append(out, "%s button caps (%u)\n", type, Count(caps.size()));
  for (std::size_t i = 0; i < caps.size(); ++i) {
    DumpCommon(out, i, caps[i]);
    Append(out, "      ReportCount %u\n", caps[i].ReportCount);
    DumpUsages(out, caps[i]);
  }
}

void DumpValueCaps(std::string& out, const char* type, const std::vector<HIDP_VALUE_CAPS>& caps) {
  Append(out, "%s value caps (%u)\n", type, Count(caps.size()));
  for (std::size_t i = 0; i < caps.size(); ++i) {
    const HIDP_VALUE_CAPS& c = caps[i];
    DumpCommon(out, i, c);
    Append(out,
           "      HasNull %u BitSize %u ReportCount %u UnitsExp 0x%08X Units 0x%08X "
           "LogicalMin %d LogicalMax %d PhysicalMin %d PhysicalMax %d\n",
           c.HasNull, c.BitSize, c.ReportCount, static_cast<unsigned>(c.UnitsExp),
           static_cast<unsigned>(c.Units), static_cast<int>(c.LogicalMin),
           static_cast<int>(c.LogicalMax), static_cast<int>(c.PhysicalMin),
           static_cast<int>(c.PhysicalMax));
    DumpUsages(out, c);
  }
}

}  // namespace

std::string DumpCaps(const PreparsedData& data) {
  std::string out;
  DumpHidpCaps(out, data.caps);
  DumpReportIds(out, data);
  DumpLinkCollections(out, data);
  for (int type = 0; type < 3; ++type) {
    DumpButtonCaps(out, kTypeNames[type], data.button_caps[type]);
    DumpValueCaps(out, kTypeNames[type], data.value_caps[type]);
  }
  return out;
}

std::string DumpCaps(const ParseResult& result) {
  if (!result.ok()) return "Parse error: " + result.error + "\n";
  std::string out;
  const std::size_t n = result.collections.size();
  for (std::size_t i = 0; i < n; ++i) {
    const PreparsedData& data = *result.collections[i];
    if (i > 0) out += "\n";
    Append(out, "Top-level collection %u of %u: UsagePage 0x%04X Usage 0x%04X\n", Count(i + 1),
           Count(n), data.caps.UsagePage, data.caps.Usage);
    out += DumpCaps(data);
  }
  return out;
}

}  // namespace hidparse
