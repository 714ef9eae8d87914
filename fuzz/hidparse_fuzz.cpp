// libFuzzer target for hidparse::Parse and the HidP_ queries. Besides crashes and
// sanitizer faults it traps on any result that breaks the invariants Windows'
// answers keep (indices within the counts, links within the node array, the
// queries returning exactly the counts HIDP_CAPS gives).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "hidparse/dump.h"
#include "hidparse/hidparse.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

USHORT DataIndices(const HIDP_CAPS& caps, int type) {
  const USHORT counts[3] = {caps.NumberInputDataIndices, caps.NumberOutputDataIndices,
                            caps.NumberFeatureDataIndices};
  return counts[type];
}

template <typename Caps>
void CheckCaps(const std::vector<Caps>& caps, const HIDP_CAPS& summary, int type) {
  for (const Caps& c : caps) {
    Check(c.Range.DataIndexMin <= c.Range.DataIndexMax);
    Check(c.Range.DataIndexMax < DataIndices(summary, type));
    Check(c.Range.UsageMin <= c.Range.UsageMax);
    Check(c.LinkCollection < summary.NumberLinkCollectionNodes);
    Check(c.IsRange || c.Range.UsageMin == c.Range.UsageMax);
  }
}

void CheckCollection(const hidparse::PreparsedData& data) {
  HIDP_CAPS caps{};
  Check(hidparse::GetCaps(&data, &caps) == HIDP_STATUS_SUCCESS);
  const USHORT nodes = caps.NumberLinkCollectionNodes;
  Check(nodes == data.link_collections.size() && nodes > 0);
  for (const HIDP_LINK_COLLECTION_NODE& n : data.link_collections) {
    Check(n.Parent < nodes && n.FirstChild < nodes && n.NextSibling < nodes);
  }
  const USHORT button_counts[3] = {caps.NumberInputButtonCaps, caps.NumberOutputButtonCaps,
                                   caps.NumberFeatureButtonCaps};
  const USHORT value_counts[3] = {caps.NumberInputValueCaps, caps.NumberOutputValueCaps,
                                  caps.NumberFeatureValueCaps};
  const USHORT lengths[3] = {caps.InputReportByteLength, caps.OutputReportByteLength,
                             caps.FeatureReportByteLength};
  for (int type = 0; type < 3; ++type) {
    const auto report_type = static_cast<HIDP_REPORT_TYPE>(type);
    std::vector<HIDP_BUTTON_CAPS> buttons(data.button_caps[type].size() + 1);
    auto length = static_cast<USHORT>(buttons.size());
    const NTSTATUS status = hidparse::GetButtonCaps(report_type, buttons.data(), &length, &data);
    Check(status == HIDP_STATUS_SUCCESS || status == HIDP_STATUS_USAGE_NOT_FOUND);
    Check(length == data.button_caps[type].size() && length == button_counts[type]);
    std::vector<HIDP_VALUE_CAPS> values(data.value_caps[type].size() + 1);
    length = static_cast<USHORT>(values.size());
    hidparse::GetValueCaps(report_type, values.data(), &length, &data);
    Check(length == data.value_caps[type].size() && length == value_counts[type]);
    CheckCaps(data.button_caps[type], caps, type);
    CheckCaps(data.value_caps[type], caps, type);
    // A report that exists has its report-ID byte; one that has caps exists.
    Check((lengths[type] != 0) == !data.report_ids[type].empty());
    if (!data.button_caps[type].empty() || !data.value_caps[type].empty()) {
      Check(lengths[type] >= 1);
    }
  }
  Check(!hidparse::DumpCaps(data).empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const hidparse::ParseResult result = hidparse::Parse(bytes, size);
  if (!result.ok()) {
    Check(result.collections.empty() && result.error_offset <= size);
    return 0;
  }
  Check(!result.collections.empty());
  for (const auto& data : result.collections) CheckCollection(*data);
  return 0;
}
