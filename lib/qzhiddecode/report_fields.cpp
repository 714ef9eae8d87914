// DecodeFields: HidP_GetData's list, each data index traced back to its cap.
#include "qzhiddecode/report_fields.h"

#include <algorithm>
#include <cstring>

namespace qzhiddecode {

namespace {

// The usage a cap gives data index `index`, if the cap holds it.
template <typename Cap>
std::optional<USAGE> UsageAt(const Cap& cap, USHORT index) {
  if (!cap.IsRange) {
    return index == cap.NotRange.DataIndex ? std::optional<USAGE>(cap.NotRange.Usage)
                                           : std::nullopt;
  }
  if (index < cap.Range.DataIndexMin || index > cap.Range.DataIndexMax) return std::nullopt;
  return static_cast<USAGE>(cap.Range.UsageMin + (index - cap.Range.DataIndexMin));
}

// The cap holding `index` (each alias has data indices of its own).
template <typename Cap>
const Cap* CapAt(const std::vector<Cap>& caps, USHORT index) {
  for (const Cap& cap : caps) {
    if (UsageAt(cap, index)) return &cap;
  }
  return nullptr;
}

std::int64_t LogicalValue(ULONG raw, const HIDP_VALUE_CAPS& cap) {
  if (cap.LogicalMin >= 0 || cap.BitSize == 0 || cap.BitSize >= 32) {
    return cap.LogicalMin < 0 ? static_cast<std::int32_t>(raw) : std::int64_t{raw};
  }
  const std::int64_t sign = std::int64_t{1} << (cap.BitSize - 1);
  return static_cast<std::int64_t>(raw ^ static_cast<ULONG>(sign)) - sign;
}

class Decoder {
 public:
  Decoder(const ReportFunctions& hid, HIDP_REPORT_TYPE type, const void* report, ULONG length)
      : hid_(hid),
        type_(type),
        report_(static_cast<const char*>(report), static_cast<const char*>(report) + length),
        buttons_(hid.ButtonCaps(type)),
        values_(hid.ValueCaps(type)) {}

  Field Describe(const HIDP_DATA& entry) const {
    Field field;
    field.data_index = entry.DataIndex;
    field.raw = entry.RawValue;
    if (const HIDP_VALUE_CAPS* cap = CapAt(values_, entry.DataIndex)) {
      field.usage_page = cap->UsagePage;
      field.usage = *UsageAt(*cap, entry.DataIndex);
      field.logical = LogicalValue(entry.RawValue, *cap);
      AddPhysical(*cap, entry, field);
    } else if (const HIDP_BUTTON_CAPS* button = CapAt(buttons_, entry.DataIndex)) {
      field.usage_page = button->UsagePage;
      field.usage = *UsageAt(*button, entry.DataIndex);
      field.is_button = true;
      field.logical = 1;
    }
    return field;
  }

 private:
  ULONG Length() const { return static_cast<ULONG>(report_.size()); }

  // HidP_GetScaledUsageValue finds a field by its usage, so of two fields with one
  // usage it reads the first. It reads this entry's field when changing that field in
  // a copy of the report changes what the usage reads.
  bool UsageReadsField(const HIDP_VALUE_CAPS& cap, USAGE usage, const HIDP_DATA& entry) const {
    std::vector<char> copy = report_;
    ULONG before = 0;
    ULONG after = 0;
    HIDP_DATA changed = entry;
    changed.RawValue ^= 1;
    ULONG count = 1;
    return hid_.GetUsageValue(type_, cap.UsagePage, cap.LinkCollection, usage, &before,
                              copy.data(), Length()) == HIDP_STATUS_SUCCESS &&
           hid_.SetData(type_, &changed, &count, copy.data(), Length()) == HIDP_STATUS_SUCCESS &&
           hid_.GetUsageValue(type_, cap.UsagePage, cap.LinkCollection, usage, &after,
                              copy.data(), Length()) == HIDP_STATUS_SUCCESS &&
           before != after;
  }

  void AddPhysical(const HIDP_VALUE_CAPS& cap, const HIDP_DATA& entry, Field& field) const {
    if (cap.PhysicalMin == 0 && cap.PhysicalMax == 0) return;  // the descriptor gives none
    if (!UsageReadsField(cap, field.usage, entry)) return;
    LONG value = 0;
    const NTSTATUS status = hid_.GetScaledUsageValue(type_, cap.UsagePage, cap.LinkCollection,
                                                     field.usage, &value, report_.data(),
                                                     Length());
    if (status == HIDP_STATUS_SUCCESS) {
      field.physical = value;
    } else {
      field.physical_status = status;
    }
  }

  const ReportFunctions& hid_;
  HIDP_REPORT_TYPE type_;
  std::vector<char> report_;
  std::vector<HIDP_BUTTON_CAPS> buttons_;
  std::vector<HIDP_VALUE_CAPS> values_;
};

}  // namespace

Fields DecodeFields(const ReportFunctions& hid, HIDP_REPORT_TYPE type, const void* report,
                    ULONG length) {
  Fields decoded;
  if (!report) return {HIDP_STATUS_INVALID_REPORT_LENGTH, {}};
  ULONG count = hid.MaxDataListLength(type);
  std::vector<HIDP_DATA> list(count + 1);  // never empty: GetData is given a real buffer
  decoded.status =
      hid.GetData(type, list.data(), &count, static_cast<const char*>(report), length);
  if (decoded.status != HIDP_STATUS_SUCCESS) return decoded;
  const Decoder decoder(hid, type, report, length);
  for (ULONG i = 0; i < std::min<ULONG>(count, static_cast<ULONG>(list.size())); ++i) {
    decoded.fields.push_back(decoder.Describe(list[i]));
  }
  return decoded;
}

}  // namespace qzhiddecode
