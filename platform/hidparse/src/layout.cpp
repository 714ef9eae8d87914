// Lays a parsed top-level collection out as preparsed data: the HIDP_CAPS summary,
// the button and value cap arrays the queries return, GetData's walk, link nodes
// and report IDs.
#include <algorithm>
#include <cstdint>

#include "report_access.h"
#include "report_bits.h"
#include "top_level_build.h"

namespace hidparse::detail {

namespace {

HIDP_BUTTON_CAPS ToButtonCaps(const HIDP_VALUE_CAPS& v) {
  HIDP_BUTTON_CAPS b{};
  b.UsagePage = v.UsagePage;
  b.ReportID = v.ReportID;
  b.IsAlias = v.IsAlias;
  b.BitField = v.BitField;
  b.LinkCollection = v.LinkCollection;
  b.LinkUsage = v.LinkUsage;
  b.LinkUsagePage = v.LinkUsagePage;
  b.IsRange = v.IsRange;
  b.IsStringRange = v.IsStringRange;
  b.IsDesignatorRange = v.IsDesignatorRange;
  b.IsAbsolute = v.IsAbsolute;
  b.ReportCount = v.ReportCount;
  b.Range = v.Range;
  return b;
}

// Every report carries one report-ID byte in Windows' lengths, also when the
// device uses no report IDs; a report type without main items has length 0.
USHORT ReportByteLength(const TopLevelBuild& tlc, const ReportBits& reports, int type) {
  std::uint64_t longest = 0;
  bool any = false;
  for (std::size_t id = 0; id < 256; ++id) {
    if (!tlc.report_ids[type].test(id)) continue;
    any = true;
    longest = std::max(longest, 1 + (reports.bits[type][id] + 7) / 8);
  }
  return any ? static_cast<USHORT>(longest) : 0;
}

// Whether a value step continues `last`: the next data index, in the same report,
// of the same size, one field, at the position `last`'s stride (set by its second
// field) gives.
bool Continues(const DataStep& last, const DataStep& step) {
  if (last.kind != DataStep::Kind::kValues || step.kind != DataStep::Kind::kValues ||
      last.report_id != step.report_id || last.fields.bit_size != step.fields.bit_size ||
      step.fields.count != 1 || step.first_index != last.first_index + last.fields.count) {
    return false;
  }
  const std::int64_t gap = std::int64_t{step.fields.first_bit} - last.fields.first_bit;
  return last.fields.count == 1 ? gap != 0 && gap >= INT32_MIN && gap <= INT32_MAX
                                : gap == std::int64_t{last.stride} * last.fields.count;
}

void AddValueStep(std::vector<DataStep>& steps, const DataStep& step) {
  if (steps.empty() || !Continues(steps.back(), step)) {
    steps.push_back(step);
    return;
  }
  DataStep& last = steps.back();
  if (last.fields.count == 1) {
    last.stride = static_cast<std::int32_t>(std::int64_t{step.fields.first_bit} -
                                            last.fields.first_bit);
  }
  ++last.fields.count;
  last.last_index = step.last_index;
}

// GetData's walk: button and value caps merged by first data index (stored
// order), an array item once at its first stored cap (which holds its highest
// data indices), usage value arrays left out. A step whose fields would end past
// the report type's length (which a USHORT may have cut short) is left out, so
// the walk reads inside every report of that length.
void AddDataSteps(PreparsedData& out, int type) {
  const USHORT lengths[] = {out.caps.InputReportByteLength, out.caps.OutputReportByteLength,
                            out.caps.FeatureReportByteLength};
  const std::vector<HIDP_BUTTON_CAPS>& buttons = out.button_caps[type];
  const std::vector<HIDP_VALUE_CAPS>& values = out.value_caps[type];
  std::size_t b = 0;
  std::size_t v = 0;
  while (b < buttons.size() || v < values.size()) {
    const bool button_next =
        v == values.size() ||
        (b < buttons.size() && buttons[b].Range.DataIndexMin < values[v].Range.DataIndexMin);
    DataStep step;
    if (button_next) {
      const HIDP_BUTTON_CAPS& cap = buttons[b];
      step.fields = out.button_fields[type][b];
      const bool same_array = b > 0 && step.fields.is_array &&
                              out.button_fields[type][b - 1].is_array &&
                              out.button_fields[type][b - 1].array_first_index ==
                                  step.fields.array_first_index;
      ++b;
      if (same_array) continue;
      step.kind = step.fields.is_array ? DataStep::Kind::kArray : DataStep::Kind::kBits;
      step.report_id = cap.ReportID;
      step.is_range = cap.IsRange;
      step.first_index =
          step.fields.is_array ? step.fields.array_first_index : cap.Range.DataIndexMin;
      step.last_index = cap.Range.DataIndexMax;
    } else {
      const HIDP_VALUE_CAPS& cap = values[v];
      step.fields = out.value_fields[type][v];
      ++v;
      if (IsValueArray(cap, step.fields)) continue;
      step.report_id = cap.ReportID;
      step.is_range = cap.IsRange;
      step.first_index = cap.Range.DataIndexMin;
      step.last_index = cap.Range.DataIndexMax;
      step.stride = step.fields.bit_size;
    }
    const FieldSpan& f = step.fields;
    if (!FieldFits(lengths[type], f.first_bit, std::uint64_t{f.bit_size} * f.count)) continue;
    if (step.kind == DataStep::Kind::kValues) {
      AddValueStep(out.data_steps[type], step);
    } else {
      out.data_steps[type].push_back(step);
    }
  }
}

}  // namespace

PreparsedData LayOut(const TopLevelBuild& tlc, const ReportBits& reports) {
  PreparsedData out;
  HIDP_CAPS& caps = out.caps;
  caps.Usage = tlc.nodes.front().LinkUsage;
  caps.UsagePage = tlc.nodes.front().LinkUsagePage;
  caps.InputReportByteLength = ReportByteLength(tlc, reports, HidP_Input);
  caps.OutputReportByteLength = ReportByteLength(tlc, reports, HidP_Output);
  caps.FeatureReportByteLength = ReportByteLength(tlc, reports, HidP_Feature);
  caps.NumberLinkCollectionNodes = static_cast<USHORT>(tlc.nodes.size());
  out.link_collections = tlc.nodes;

  USHORT* const counts[3][3] = {
      {&caps.NumberInputButtonCaps, &caps.NumberInputValueCaps, &caps.NumberInputDataIndices},
      {&caps.NumberOutputButtonCaps, &caps.NumberOutputValueCaps,
       &caps.NumberOutputDataIndices},
      {&caps.NumberFeatureButtonCaps, &caps.NumberFeatureValueCaps,
       &caps.NumberFeatureDataIndices},
  };
  for (int type = 0; type < 3; ++type) {
    for (const CapRecord& record : tlc.caps[type]) {
      ++*counts[type][record.is_button ? 0 : 1];
      if (record.is_button) {
        out.button_caps[type].push_back(ToButtonCaps(record.caps));
        out.button_fields[type].push_back(record.fields);
      } else {
        out.value_caps[type].push_back(record.caps);
        out.value_fields[type].push_back(record.fields);
      }
    }
    *counts[type][2] = static_cast<USHORT>(tlc.data_indices[type]);
    AddDataSteps(out, type);
    for (std::size_t id = 0; id < 256; ++id) {
      if (tlc.report_ids[type].test(id)) {
        out.report_ids[type].push_back(static_cast<std::uint8_t>(id));
      }
    }
  }
  return out;
}

}  // namespace hidparse::detail
