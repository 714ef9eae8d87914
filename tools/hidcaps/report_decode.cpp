// Decodes a report with the HidP_ report functions and names each field's usage.
#include "report_decode.h"

#include <cstdio>
#include <utility>

#include "hidparse/report.h"

namespace hidcaps {

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

// HidP_GetScaledUsageValue finds a field by its usage, so of two fields with one usage
// it reads the first. It reads this entry's field when changing that field in a copy of
// the report changes what the usage reads.
bool UsageReadsField(const hidparse::PreparsedData& data, HIDP_REPORT_TYPE type,
                     const HIDP_VALUE_CAPS& cap, USAGE usage, const HIDP_DATA& entry,
                     std::vector<std::uint8_t> report) {
  char* bytes = reinterpret_cast<char*>(report.data());
  const auto length = static_cast<ULONG>(report.size());
  ULONG before = 0;
  ULONG after = 0;
  HIDP_DATA changed = entry;
  changed.RawValue ^= 1;
  ULONG count = 1;
  return hidparse::GetUsageValue(type, cap.UsagePage, cap.LinkCollection, usage, &before, &data,
                                 bytes, length) == HIDP_STATUS_SUCCESS &&
         hidparse::SetData(type, &changed, &count, &data, bytes, length) == HIDP_STATUS_SUCCESS &&
         hidparse::GetUsageValue(type, cap.UsagePage, cap.LinkCollection, usage, &after, &data,
                                 bytes, length) == HIDP_STATUS_SUCCESS &&
         before != after;
}

void AddPhysical(const hidparse::PreparsedData& data, HIDP_REPORT_TYPE type,
                 const HIDP_VALUE_CAPS& cap, const HIDP_DATA& entry,
                 const std::vector<std::uint8_t>& report, DecodedField& field) {
  if (cap.PhysicalMin == 0 && cap.PhysicalMax == 0) return;  // the descriptor gives none
  if (!UsageReadsField(data, type, cap, field.usage, entry, report)) return;
  LONG value = 0;
  const NTSTATUS status =
      hidparse::GetScaledUsageValue(type, cap.UsagePage, cap.LinkCollection, field.usage, &value,
                                    &data, reinterpret_cast<const char*>(report.data()),
                                    static_cast<ULONG>(report.size()));
  if (status == HIDP_STATUS_SUCCESS) {
    field.physical = value;
  } else {
    field.physical_status = status;
  }
}

DecodedField Describe(const hidparse::PreparsedData& data, HIDP_REPORT_TYPE type,
                      const HIDP_DATA& entry, const std::vector<std::uint8_t>& report,
                      const qzusbids::UsbIds& names) {
  DecodedField field;
  field.data_index = entry.DataIndex;
  if (const HIDP_VALUE_CAPS* cap = CapAt(data.value_caps[type], entry.DataIndex)) {
    field.usage_page = cap->UsagePage;
    field.usage = *UsageAt(*cap, entry.DataIndex);
    field.raw = entry.RawValue;
    field.logical = LogicalValue(entry.RawValue, *cap);
    AddPhysical(data, type, *cap, entry, report, field);
  } else if (const HIDP_BUTTON_CAPS* button = CapAt(data.button_caps[type], entry.DataIndex)) {
    field.usage_page = button->UsagePage;
    field.usage = *UsageAt(*button, entry.DataIndex);
    field.is_button = true;
  }
  field.page_name = names.UsagePage(field.usage_page);
  field.usage_name = names.Usage(field.usage_page, field.usage);
  return field;
}

}  // namespace

DecodedReport DecodeReport(const hidparse::PreparsedData& data, HIDP_REPORT_TYPE type,
                           const std::vector<std::uint8_t>& report, const qzusbids::UsbIds& names) {
  DecodedReport decoded;
  ULONG length = hidparse::MaxDataListLength(type, &data);
  std::vector<HIDP_DATA> list(length + 1);  // never empty: GetData is given a real buffer
  decoded.status = hidparse::GetData(type, list.data(), &length, &data,
                                     reinterpret_cast<const char*>(report.data()),
                                     static_cast<ULONG>(report.size()));
  if (decoded.status != HIDP_STATUS_SUCCESS) return decoded;
  for (ULONG i = 0; i < length; ++i) {
    decoded.fields.push_back(Describe(data, type, list[i], report, names));
  }
  return decoded;
}

std::string StatusName(NTSTATUS status) {
#define QZ_STATUS(name) {name, #name}
  static const std::pair<NTSTATUS, const char*> kNames[] = {
      QZ_STATUS(HIDP_STATUS_SUCCESS),
      QZ_STATUS(HIDP_STATUS_NULL),
      QZ_STATUS(HIDP_STATUS_INVALID_PREPARSED_DATA),
      QZ_STATUS(HIDP_STATUS_INVALID_REPORT_TYPE),
      QZ_STATUS(HIDP_STATUS_INVALID_REPORT_LENGTH),
      QZ_STATUS(HIDP_STATUS_USAGE_NOT_FOUND),
      QZ_STATUS(HIDP_STATUS_VALUE_OUT_OF_RANGE),
      QZ_STATUS(HIDP_STATUS_BAD_LOG_PHY_VALUES),
      QZ_STATUS(HIDP_STATUS_BUFFER_TOO_SMALL),
      QZ_STATUS(HIDP_STATUS_INTERNAL_ERROR),
      QZ_STATUS(HIDP_STATUS_I8042_TRANS_UNKNOWN),
      QZ_STATUS(HIDP_STATUS_INCOMPATIBLE_REPORT_ID),
      QZ_STATUS(HIDP_STATUS_NOT_VALUE_ARRAY),
      QZ_STATUS(HIDP_STATUS_IS_VALUE_ARRAY),
      QZ_STATUS(HIDP_STATUS_DATA_INDEX_NOT_FOUND),
      QZ_STATUS(HIDP_STATUS_DATA_INDEX_OUT_OF_RANGE),
      QZ_STATUS(HIDP_STATUS_REPORT_DOES_NOT_EXIST),
      QZ_STATUS(HIDP_STATUS_NOT_IMPLEMENTED),
  };
#undef QZ_STATUS
  for (const auto& [code, name] : kNames) {
    if (code == status) return name;
  }
  char text[24];
  std::snprintf(text, sizeof text, "status 0x%08lX",
                static_cast<unsigned long>(static_cast<std::uint32_t>(status)));
  return text;
}

}  // namespace hidcaps
