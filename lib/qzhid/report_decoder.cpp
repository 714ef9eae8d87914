// DecodeReport: HidP_GetData's list, each data index traced back to the button or value
// cap that holds it for its usage, logical range and physical range.
#include "qzhid/report_decoder.h"

#include <algorithm>

#include "qzhid/usage_names.h"

namespace qz {
namespace {

using ButtonCapsGetter = NTSTATUS (*)(std::uint8_t, HIDP_BUTTON_CAPS*, USHORT&, PreparsedHandle);
using ValueCapsGetter = NTSTATUS (*)(std::uint8_t, HIDP_VALUE_CAPS*, USHORT&, PreparsedHandle);

template <typename Cap, typename Getter>
std::vector<Cap> LoadCaps(Getter get, std::uint8_t type, USHORT count, PreparsedHandle ppd) {
  std::vector<Cap> caps(count);
  USHORT length = count;
  if (count == 0 || get(type, caps.data(), length, ppd) != HIDP_STATUS_SUCCESS) return {};
  caps.resize(std::min(length, count));
  return caps;
}

// The cap tables of one report type.
struct TypeCaps {
  std::vector<HIDP_BUTTON_CAPS> buttons;
  std::vector<HIDP_VALUE_CAPS> values;
};

TypeCaps LoadTypeCaps(PreparsedHandle ppd, ReportKind kind) {
  HIDP_CAPS caps{};
  if (HidP_GetCaps(ppd, caps) != HIDP_STATUS_SUCCESS) return {};
  const auto type = static_cast<std::uint8_t>(kind);
  const USHORT buttons[] = {caps.NumberInputButtonCaps, caps.NumberOutputButtonCaps,
                            caps.NumberFeatureButtonCaps};
  const USHORT values[] = {caps.NumberInputValueCaps, caps.NumberOutputValueCaps,
                           caps.NumberFeatureValueCaps};
  return {LoadCaps<HIDP_BUTTON_CAPS, ButtonCapsGetter>(HidP_GetButtonCaps, type, buttons[type], ppd),
          LoadCaps<HIDP_VALUE_CAPS, ValueCapsGetter>(HidP_GetValueCaps, type, values[type], ppd)};
}

// The usage a cap gives `dataIndex`, when the index is one of the cap's.
template <typename Cap>
std::optional<USAGE> UsageAt(const Cap& cap, USHORT dataIndex) {
  if (!cap.IsRange) {
    if (cap.NotRange.DataIndex != dataIndex) return std::nullopt;
    return cap.NotRange.Usage;
  }
  if (dataIndex < cap.Range.DataIndexMin || dataIndex > cap.Range.DataIndexMax)
    return std::nullopt;
  return static_cast<USAGE>(cap.Range.UsageMin + (dataIndex - cap.Range.DataIndexMin));
}

// A raw field value as its logical range reads it: signed when the minimum is negative.
std::int64_t Logical(ULONG raw, const HIDP_VALUE_CAPS& cap) {
  const unsigned bits = std::min<unsigned>(cap.BitSize, 32);
  if (cap.LogicalMin >= 0 || bits == 0) return raw;
  const std::uint64_t sign = 1ull << (bits - 1);
  const std::uint64_t low = raw & ((sign << 1) - 1);
  return static_cast<std::int64_t>(low ^ sign) - static_cast<std::int64_t>(sign);
}

struct Decoder {
  PreparsedHandle ppd;
  ReportKind kind;
  const void* report;
  ULONG length;
  TypeCaps caps;

  // Fills the usage and value of `field` from the cap that holds its data index.
  void Describe(DecodedField& field, const HIDP_DATA& data) const {
    for (const auto& cap : caps.buttons) {
      if (auto usage = UsageAt(cap, data.DataIndex)) {
        Name(field, cap.UsagePage, *usage);
        field.pressed = data.On != 0;
        field.logical = field.pressed ? 1 : 0;
        return;
      }
    }
    for (const auto& cap : caps.values) {
      if (auto usage = UsageAt(cap, data.DataIndex)) {
        Name(field, cap.UsagePage, *usage);
        field.logical = Logical(data.RawValue, cap);
        if (cap.PhysicalMin != 0 || cap.PhysicalMax != 0) field.physical = Physical(cap, *usage);
        return;
      }
    }
  }

  static void Name(DecodedField& field, USAGE page, USAGE usage) {
    field.usagePage = page;
    field.usage = usage;
    field.usagePageName = HidUsagePageName(page);
    field.usageName = HidUsageName(page, usage);
  }

  std::optional<LONG> Physical(const HIDP_VALUE_CAPS& cap, USAGE usage) const {
    LONG value = 0;
    if (HidP_GetScaledUsageValue(static_cast<std::uint8_t>(kind), cap.UsagePage,
                                 cap.LinkCollection, usage, value, ppd, report,
                                 length) != HIDP_STATUS_SUCCESS)
      return std::nullopt;
    return value;
  }
};

}  // namespace

DecodedReport DecodeReport(PreparsedHandle preparsed, ReportKind kind, const void* report,
                           ULONG length) {
  if (preparsed == 0) return {HIDP_STATUS_INVALID_PREPARSED_DATA, {}};
  if (kind > ReportKind::Feature) return {HIDP_STATUS_INVALID_REPORT_TYPE, {}};
  if (!report) return {HIDP_STATUS_INVALID_REPORT_LENGTH, {}};
  const auto type = static_cast<std::uint8_t>(kind);
  std::vector<HIDP_DATA> list(HidP_MaxDataListLength(type, preparsed));
  ULONG count = static_cast<ULONG>(list.size());
  DecodedReport result;
  result.status = HidP_GetData(type, list.data(), count, preparsed, report, length);
  if (result.status != HIDP_STATUS_SUCCESS) return result;
  const Decoder decoder{preparsed, kind, report, length, LoadTypeCaps(preparsed, kind)};
  list.resize(std::min<std::size_t>(count, list.size()));
  for (const HIDP_DATA& data : list) {
    DecodedField& field = result.fields.emplace_back();
    field.dataIndex = data.DataIndex;
    decoder.Describe(field, data);
  }
  return result;
}

}  // namespace qz
