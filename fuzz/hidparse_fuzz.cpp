// libFuzzer target for hidparse::Parse, the HidP_ queries and the report
// functions. Besides crashes and sanitizer faults it traps on any result that
// breaks the invariants Windows' answers keep (indices within the counts, links
// within the node array, the queries returning exactly the counts HIDP_CAPS
// gives, GetData and GetUsagesEx within their Max*ListLength). Reports are made
// of the input's own bytes, in buffers of exactly the report's length so that
// AddressSanitizer sees any access beyond them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "hidparse/dump.h"
#include "hidparse/hidparse.h"
#include "hidparse/report.h"

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

// Caps driven one by one per report: enough to reach every code path while each
// input stays linear in its size.
constexpr std::size_t kCapsDriven = 32;
constexpr std::size_t kEntriesSet = 64;

// Every report function on one report of `type` with report ID `id`.
void DriveReport(const hidparse::PreparsedData& data, HIDP_REPORT_TYPE type, std::uint8_t id,
                 std::vector<char>& report) {
  const auto length = static_cast<ULONG>(report.size());
  report[0] = static_cast<char>(id);
  std::vector<HIDP_DATA> entries(hidparse::MaxDataListLength(type, &data));
  auto count = static_cast<ULONG>(entries.size());
  Check(hidparse::GetData(type, entries.data(), &count, &data, report.data(), length) ==
        HIDP_STATUS_SUCCESS);
  std::vector<USAGE_AND_PAGE> usages(hidparse::MaxUsageListLength(type, 0, &data));
  auto usage_count = static_cast<ULONG>(usages.size());
  const NTSTATUS listed =
      hidparse::GetUsagesEx(type, 0, usages.data(), &usage_count, &data, report.data(), length);
  Check(listed != HIDP_STATUS_BUFFER_TOO_SMALL && usage_count <= usages.size());
  const auto& value_caps = data.value_caps[type];
  for (std::size_t i = 0; i < std::min(value_caps.size(), kCapsDriven); ++i) {
    const HIDP_VALUE_CAPS& c = value_caps[i];
    if (c.ReportID != id) continue;
    ULONG raw = 0;
    LONG scaled = 0;
    const NTSTATUS got = hidparse::GetUsageValue(type, c.UsagePage, 0, c.Range.UsageMax, &raw,
                                                 &data, report.data(), length);
    hidparse::GetScaledUsageValue(type, c.UsagePage, 0, c.Range.UsageMin, &scaled, &data,
                                  report.data(), length);
    hidparse::SetScaledUsageValue(type, c.UsagePage, 0, c.Range.UsageMin, scaled, &data,
                                  report.data(), length);
    if (got == HIDP_STATUS_SUCCESS) {
      hidparse::SetUsageValue(type, c.UsagePage, 0, c.Range.UsageMax, raw, &data, report.data(),
                              length);
    }
    std::vector<char> array(static_cast<std::size_t>(c.BitSize) * c.ReportCount / 8 + 1);
    const auto array_length = static_cast<USHORT>(std::min<std::size_t>(array.size(), 0xFFFF));
    hidparse::GetUsageValueArray(type, c.UsagePage, 0, c.Range.UsageMin, array.data(),
                                 array_length, &data, report.data(), length);
    hidparse::SetUsageValueArray(type, c.UsagePage, 0, c.Range.UsageMin, array.data(),
                                 array_length, &data, report.data(), length);
  }
  const auto& button_caps = data.button_caps[type];
  for (std::size_t i = 0; i < std::min(button_caps.size(), kCapsDriven); ++i) {
    const HIDP_BUTTON_CAPS& c = button_caps[i];
    USAGE usage[2] = {c.Range.UsageMin, c.Range.UsageMax};
    ULONG n = 2;
    hidparse::UnsetUsages(type, c.UsagePage, 0, usage, &n, &data, report.data(), length);
    n = 2;
    hidparse::SetUsages(type, c.UsagePage, 0, usage, &n, &data, report.data(), length);
  }
  count = static_cast<ULONG>(std::min(entries.size(), kEntriesSet));
  hidparse::SetData(type, entries.data(), &count, &data, report.data(), length);
}

void DriveReports(const hidparse::PreparsedData& data, const std::uint8_t* bytes,
                  std::size_t size) {
  const USHORT lengths[3] = {data.caps.InputReportByteLength, data.caps.OutputReportByteLength,
                             data.caps.FeatureReportByteLength};
  for (int type = 0; type < 3; ++type) {
    if (lengths[type] == 0) continue;
    std::vector<char> report(lengths[type]);
    for (std::size_t i = 0; i < report.size(); ++i) {
      report[i] = static_cast<char>(bytes[(i * 7) % size]);
    }
    const auto report_type = static_cast<HIDP_REPORT_TYPE>(type);
    Check(hidparse::InitializeReportForId(report_type, data.report_ids[type].front(), &data,
                                          report.data(), lengths[type]) == HIDP_STATUS_SUCCESS);
    for (std::size_t i = 1; i < report.size(); ++i) {
      report[i] = static_cast<char>(bytes[(i * 7) % size]);
    }
    for (std::uint8_t id : data.report_ids[type]) DriveReport(data, report_type, id, report);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const hidparse::ParseResult result = hidparse::Parse(bytes, size);
  if (!result.ok()) {
    Check(result.collections.empty() && result.error_offset <= size);
    return 0;
  }
  Check(!result.collections.empty());
  for (const auto& data : result.collections) {
    CheckCollection(*data);
    DriveReports(*data, bytes, size);
  }
  return 0;
}
