// What the report functions share: the checks Windows makes before it touches a
// report, and finding the cap and field that carry a usage in the caller's report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "hidparse/hidparse.h"

namespace hidparse::detail {

bool IsReportType(HIDP_REPORT_TYPE type);

// A usage value array: one usage over several fields.
inline bool IsValueArray(const HIDP_VALUE_CAPS& cap, const FieldSpan& fields) {
  return !cap.IsRange && fields.count > 1;
}

// The byte length of that report type's reports (0 when it has none).
USHORT ReportByteLength(const PreparsedData& data, HIDP_REPORT_TYPE type);

// Preparsed data, then the report type, then the report's length, in Windows'
// order. A null report buffer gets INVALID_REPORT_LENGTH: it holds no report.
NTSTATUS CheckReport(const PreparsedData* data, HIDP_REPORT_TYPE type, const char* report,
                     ULONG report_length);

inline const std::uint8_t* Bytes(const char* report) {
  return reinterpret_cast<const std::uint8_t*>(report);
}
inline std::uint8_t* Bytes(char* report) { return reinterpret_cast<std::uint8_t*>(report); }

// Whether the cap names `usage` on `usage_page` in `link_collection` (0: any) and a
// field of the report carries it.
template <typename Caps>
bool Carries(const Caps& cap, const FieldSpan& fields, USAGE usage_page, USHORT link_collection,
             USAGE usage) {
  if (cap.UsagePage != usage_page) return false;
  if (link_collection != 0 && cap.LinkCollection != link_collection) return false;
  if (usage < cap.Range.UsageMin || usage > cap.Range.UsageMax) return false;
  // A range names one field per usage, and only the fields the item has.
  return fields.is_array || !cap.IsRange || usage - cap.Range.UsageMin < fields.count;
}

// The first cap, in stored order, that carries the usage in reports with
// `report_id`. USAGE_NOT_FOUND when no cap names it, INCOMPATIBLE_REPORT_ID when
// only caps of other reports do.
template <typename Caps>
NTSTATUS FindCap(const std::vector<Caps>& caps, const std::vector<FieldSpan>& fields,
                 USAGE usage_page, USHORT link_collection, USAGE usage, std::uint8_t report_id,
                 std::size_t* found) {
  NTSTATUS status = HIDP_STATUS_USAGE_NOT_FOUND;
  for (std::size_t i = 0; i < caps.size(); ++i) {
    if (!Carries(caps[i], fields[i], usage_page, link_collection, usage)) continue;
    if (caps[i].ReportID == report_id) {
      *found = i;
      return HIDP_STATUS_SUCCESS;
    }
    status = HIDP_STATUS_INCOMPATIBLE_REPORT_ID;
  }
  return status;
}

// The bit where the field of `usage` starts: a range has one field per usage,
// a single usage starts at the cap's first field.
template <typename Caps>
std::uint64_t FieldBit(const Caps& cap, const FieldSpan& fields, USAGE usage) {
  const std::uint32_t k = cap.IsRange ? usage - cap.Range.UsageMin : 0;
  return fields.first_bit + std::uint64_t{k} * fields.bit_size;
}

// Where a button usage lives in the caller's report.
struct ButtonField {
  const HIDP_BUTTON_CAPS* cap = nullptr;
  const FieldSpan* fields = nullptr;
};

// Turns a button on: its bit, or its index in a free array field (none free:
// BUFFER_TOO_SMALL; already there: nothing to do; an index the field is too
// narrow to hold: USAGE_NOT_FOUND, as the report cannot carry that usage).
NTSTATUS SetButton(const ButtonField& button, USAGE usage, char* report, ULONG report_length);
// Turns a button off; BUTTON_NOT_PRESSED when it was not on.
NTSTATUS UnsetButton(const ButtonField& button, USAGE usage, char* report, ULONG report_length);

}  // namespace hidparse::detail
