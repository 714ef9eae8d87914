// The report functions for buttons: HidP_InitializeReportForID,
// HidP_MaxUsageListLength, HidP_GetUsages(Ex), HidP_SetUsages and HidP_UnsetUsages.
// A variable button is one bit per usage; an array field holds a 1-based index
// into its item's usages in declaration order, 0 meaning none.
#include <algorithm>
#include <cstring>
#include <optional>

#include "hidparse/report.h"
#include "report_access.h"
#include "report_bits.h"

namespace hidparse {

namespace {

using detail::Bytes;
using detail::ReadField;
using detail::WriteField;

// The array index that names `usage` of this cap.
std::uint32_t ArrayIndexOf(const HIDP_BUTTON_CAPS& cap, const FieldSpan& fields, USAGE usage) {
  const std::uint32_t data_index = cap.Range.DataIndexMin + (usage - cap.Range.UsageMin);
  return data_index - fields.array_first_index + fields.array_origin;
}

// The usage of this cap that an array field's value names, if it names one.
std::optional<USAGE> UsageAtIndex(const HIDP_BUTTON_CAPS& cap, const FieldSpan& fields,
                                  std::uint32_t index) {
  if (index == 0) return std::nullopt;
  const std::uint64_t data_index =
      std::uint64_t{fields.array_first_index} + index - fields.array_origin;
  if (data_index < cap.Range.DataIndexMin || data_index > cap.Range.DataIndexMax) {
    return std::nullopt;
  }
  return static_cast<USAGE>(cap.Range.UsageMin + (data_index - cap.Range.DataIndexMin));
}

std::uint64_t FieldAt(const FieldSpan& fields, std::uint32_t k) {
  return fields.first_bit + std::uint64_t{k} * fields.bit_size;
}

NTSTATUS FindButton(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection, USAGE usage,
                    const PreparsedData& data, const char* report, detail::ButtonField* out) {
  std::size_t i = 0;
  const NTSTATUS status = detail::FindCap(data.button_caps[type], data.button_fields[type],
                                          usage_page, link_collection, usage, Bytes(report)[0], &i);
  if (status != HIDP_STATUS_SUCCESS) return status;
  out->cap = &data.button_caps[type][i];
  out->fields = &data.button_fields[type][i];
  return HIDP_STATUS_SUCCESS;
}

// GetUsages and GetUsagesEx: the buttons on in the report, in stored cap order,
// on `usage_page` (null: every page), each stored as `make(usage, page)` gives it.
// Statuses: USAGE_NOT_FOUND when no cap is on that page, INCOMPATIBLE_REPORT_ID
// when none is in this report, BUFFER_TOO_SMALL (with the count needed) when
// the list is short.
template <typename Entry, typename Make>
NTSTATUS ListPressed(HIDP_REPORT_TYPE type, const USAGE* usage_page, USHORT link_collection,
                     Entry* list, ULONG* length, const PreparsedData* data, const char* report,
                     ULONG report_length, Make make) {
  const NTSTATUS status = detail::CheckReport(data, type, report, report_length);
  if (status != HIDP_STATUS_SUCCESS) return status;
  if (length == nullptr) return HIDP_STATUS_INTERNAL_ERROR;  // Windows would fault
  const ULONG room = list != nullptr ? *length : 0;
  const std::uint8_t* bytes = Bytes(report);
  const std::vector<HIDP_BUTTON_CAPS>& caps = data->button_caps[type];
  const std::vector<FieldSpan>& fields = data->button_fields[type];
  ULONG found = 0;
  bool on_page = false;
  bool in_report = false;
  for (std::size_t i = 0; i < caps.size(); ++i) {
    const HIDP_BUTTON_CAPS& cap = caps[i];
    if (usage_page != nullptr && cap.UsagePage != *usage_page) continue;
    if (link_collection != 0 && cap.LinkCollection != link_collection) continue;
    on_page = true;
    if (cap.ReportID != bytes[0]) continue;
    in_report = true;
    const FieldSpan& f = fields[i];
    for (std::uint32_t k = 0; k < f.count; ++k) {
      const std::uint32_t value = ReadField(bytes, report_length, FieldAt(f, k), f.bit_size);
      std::optional<USAGE> usage;
      if (f.is_array) {
        usage = UsageAtIndex(cap, f, value);
      } else if (value != 0) {
        usage = static_cast<USAGE>(cap.Range.UsageMin + (cap.IsRange ? k : 0));
      }
      if (!usage) continue;
      if (found < room) list[found] = make(*usage, cap.UsagePage);
      ++found;
    }
  }
  *length = found;
  if (!on_page) return HIDP_STATUS_USAGE_NOT_FOUND;
  if (!in_report) return HIDP_STATUS_INCOMPATIBLE_REPORT_ID;
  return found > room ? HIDP_STATUS_BUFFER_TOO_SMALL : HIDP_STATUS_SUCCESS;
}

using ButtonChange = NTSTATUS (*)(const detail::ButtonField&, USAGE, char*, ULONG);

// SetUsages and UnsetUsages: each usage in list order; the first failure stops and
// leaves its index in `usage_length`.
NTSTATUS ChangeUsages(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                      const USAGE* usage_list, ULONG* usage_length, const PreparsedData* data,
                      char* report, ULONG report_length, ButtonChange change) {
  NTSTATUS status = detail::CheckReport(data, type, report, report_length);
  if (status != HIDP_STATUS_SUCCESS) return status;
  if (usage_length == nullptr) return HIDP_STATUS_INTERNAL_ERROR;  // Windows would fault
  const ULONG count = usage_list != nullptr ? *usage_length : 0;
  for (ULONG n = 0; n < count; ++n) {
    detail::ButtonField button;
    status = FindButton(type, usage_page, link_collection, usage_list[n], *data, report, &button);
    if (status == HIDP_STATUS_SUCCESS) {
      status = change(button, usage_list[n], report, report_length);
    }
    if (status != HIDP_STATUS_SUCCESS) {
      *usage_length = n;
      return status;
    }
  }
  return HIDP_STATUS_SUCCESS;
}

}  // namespace

namespace detail {

NTSTATUS SetButton(const ButtonField& b, USAGE usage, char* report, ULONG length) {
  std::uint8_t* bytes = Bytes(report);
  const FieldSpan& f = *b.fields;
  if (!f.is_array) {
    WriteField(bytes, length, detail::FieldBit(*b.cap, f, usage), 1, 1);
    return HIDP_STATUS_SUCCESS;
  }
  const std::uint32_t index = ArrayIndexOf(*b.cap, f, usage);
  // A field too narrow for the index would hold another usage, or none.
  if (f.bit_size < 32 && index >> f.bit_size != 0) return HIDP_STATUS_USAGE_NOT_FOUND;
  std::optional<std::uint32_t> free_field;
  for (std::uint32_t k = 0; k < f.count; ++k) {
    const std::uint32_t held = ReadField(bytes, length, FieldAt(f, k), f.bit_size);
    if (held == index) return HIDP_STATUS_SUCCESS;
    if (held == 0 && !free_field) free_field = k;
  }
  if (!free_field) return HIDP_STATUS_BUFFER_TOO_SMALL;
  WriteField(bytes, length, FieldAt(f, *free_field), f.bit_size, index);
  return HIDP_STATUS_SUCCESS;
}

NTSTATUS UnsetButton(const ButtonField& b, USAGE usage, char* report, ULONG length) {
  std::uint8_t* bytes = Bytes(report);
  const FieldSpan& f = *b.fields;
  if (!f.is_array) {
    const std::uint64_t bit = detail::FieldBit(*b.cap, f, usage);
    if (ReadField(bytes, length, bit, 1) == 0) return HIDP_STATUS_BUTTON_NOT_PRESSED;
    WriteField(bytes, length, bit, 1, 0);
    return HIDP_STATUS_SUCCESS;
  }
  const std::uint32_t index = ArrayIndexOf(*b.cap, f, usage);
  for (std::uint32_t k = 0; k < f.count; ++k) {
    if (ReadField(bytes, length, FieldAt(f, k), f.bit_size) == index) {
      WriteField(bytes, length, FieldAt(f, k), f.bit_size, 0);
      return HIDP_STATUS_SUCCESS;
    }
  }
  return HIDP_STATUS_BUTTON_NOT_PRESSED;
}

}  // namespace detail

NTSTATUS InitializeReportForId(HIDP_REPORT_TYPE type, UCHAR report_id, const PreparsedData* data,
                               char* report, ULONG report_length) {
  const NTSTATUS status = detail::CheckReport(data, type, report, report_length);
  if (status != HIDP_STATUS_SUCCESS) return status;
  const std::vector<std::uint8_t>& ids = data->report_ids[type];
  if (!std::binary_search(ids.begin(), ids.end(), report_id)) {
    return HIDP_STATUS_REPORT_DOES_NOT_EXIST;
  }
  std::memset(report, 0, report_length);
  report[0] = static_cast<char>(report_id);
  return HIDP_STATUS_SUCCESS;
}

ULONG MaxUsageListLength(HIDP_REPORT_TYPE type, USAGE usage_page, const PreparsedData* data) {
  if (data == nullptr || !detail::IsReportType(type)) return 0;
  const std::vector<HIDP_BUTTON_CAPS>& caps = data->button_caps[type];
  const std::vector<FieldSpan>& fields = data->button_fields[type];
  ULONG total = 0;
  // The caps of one array item are stored together and share its fields: they
  // hold at most one usage per field between them, so the item counts once. Its
  // first data index tells it apart (items without bits share a position).
  std::optional<USHORT> last_array;
  for (std::size_t i = 0; i < caps.size(); ++i) {
    if (usage_page != 0 && caps[i].UsagePage != usage_page) continue;
    const FieldSpan& f = fields[i];
    if (f.is_array) {
      if (last_array == f.array_first_index) continue;
      last_array = f.array_first_index;
    }
    total += f.count;
  }
  return total;
}

NTSTATUS GetUsages(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                   USAGE* usage_list, ULONG* usage_length, const PreparsedData* data,
                   const char* report, ULONG report_length) {
  return ListPressed(type, &usage_page, link_collection, usage_list, usage_length, data, report,
                     report_length, [](USAGE usage, USAGE) { return usage; });
}

NTSTATUS GetUsagesEx(HIDP_REPORT_TYPE type, USHORT link_collection, USAGE_AND_PAGE* usage_list,
                     ULONG* usage_length, const PreparsedData* data, const char* report,
                     ULONG report_length) {
  return ListPressed(type, nullptr, link_collection, usage_list, usage_length, data, report,
                     report_length, [](USAGE usage, USAGE page) {
                       return USAGE_AND_PAGE{usage, page};
                     });
}

NTSTATUS SetUsages(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                   const USAGE* usage_list, ULONG* usage_length, const PreparsedData* data,
                   char* report, ULONG report_length) {
  return ChangeUsages(type, usage_page, link_collection, usage_list, usage_length, data, report,
                      report_length, &detail::SetButton);
}

NTSTATUS UnsetUsages(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                     const USAGE* usage_list, ULONG* usage_length, const PreparsedData* data,
                     char* report, ULONG report_length) {
  return ChangeUsages(type, usage_page, link_collection, usage_list, usage_length, data, report,
                      report_length, &detail::UnsetButton);
}

}  // namespace hidparse
