// HidP_MaxDataListLength, HidP_GetData and HidP_SetData: a report as a list of
// (data index, value) entries. Each button that is on and each value gives one
// entry, in ascending data index; usage value arrays give none, they have
// functions of their own.
#include <algorithm>
#include <bit>

#include "hidparse/report.h"
#include "report_access.h"
#include "report_bits.h"

namespace hidparse {

namespace {

using detail::Bytes;

bool IsValueArray(const HIDP_VALUE_CAPS& cap, const FieldSpan& fields) {
  return !cap.IsRange && fields.count > 1;
}

bool Covers(const HIDP_CAPS_RANGE& range, USHORT data_index) {
  return data_index >= range.DataIndexMin && data_index <= range.DataIndexMax;
}

std::uint64_t FieldAt(const FieldSpan& fields, std::uint32_t k) {
  return fields.first_bit + std::uint64_t{k} * fields.bit_size;
}

USHORT DataIndexCount(const PreparsedData& data, HIDP_REPORT_TYPE type) {
  switch (type) {
    case HidP_Input: return data.caps.NumberInputDataIndices;
    case HidP_Output: return data.caps.NumberOutputDataIndices;
    case HidP_Feature: return data.caps.NumberFeatureDataIndices;
  }
  return 0;
}

// Collects entries into the caller's list as far as it goes, counting them all.
class DataList {
 public:
  DataList(HIDP_DATA* list, ULONG room) : list_(list), room_(room) {}
  void Add(USHORT data_index, ULONG value) {
    if (found_ < room_) {
      HIDP_DATA& entry = list_[found_];
      entry = HIDP_DATA{};
      entry.DataIndex = data_index;
      entry.RawValue = value;
    }
    ++found_;
  }
  // Windows lists entries by data index; they come in that order but for array
  // fields, which hold their indices in any order. An insertion sort: stable, in
  // place, and one pass over a list already in order.
  void Sort() {
    const ULONG kept = std::min(found_, room_);
    for (ULONG i = 1; i < kept; ++i) {
      const HIDP_DATA entry = list_[i];
      ULONG j = i;
      for (; j > 0 && list_[j - 1].DataIndex > entry.DataIndex; --j) list_[j] = list_[j - 1];
      list_[j] = entry;
    }
  }
  ULONG found() const { return found_; }
  bool fits() const { return found_ <= room_; }

 private:
  HIDP_DATA* list_;
  ULONG room_;
  ULONG found_ = 0;
};

// Whether all of a cap's fields lie inside the report; they do by construction
// when the report has the caps' length, and nothing is read unless they do.
bool SpanFits(const FieldSpan& f, ULONG length) {
  return detail::FieldFits(length, f.first_bit, std::uint64_t{f.bit_size} * f.count);
}

// Each field of an array item names data index `array_first_index` + value - 1,
// if that is one of the item's (up to `last_index`).
void AddArrayItem(const FieldSpan& f, USHORT last_index, const std::uint8_t* report,
                  ULONG length, DataList& out) {
  for (std::uint32_t k = 0; k < f.count; ++k) {
    const std::uint32_t value = detail::ReadFittingField(report, length, FieldAt(f, k), f.bit_size);
    const std::uint64_t data_index = std::uint64_t{f.array_first_index} + value - 1;
    if (value != 0 && data_index <= last_index) out.Add(static_cast<USHORT>(data_index), 1);
  }
}

// One-bit buttons, read 32 at a time; a range's k-th bit is its k-th usage.
void AddBits(const HIDP_BUTTON_CAPS& cap, const FieldSpan& f, const std::uint8_t* report,
             ULONG length, DataList& out) {
  for (std::uint32_t k = 0; k < f.count; k += 32) {
    const std::uint32_t bits = std::min<std::uint32_t>(32, f.count - k);
    std::uint32_t word = detail::ReadFittingField(report, length, f.first_bit + k, bits);
    for (; word != 0; word &= word - 1) {
      const auto bit = static_cast<std::uint32_t>(std::countr_zero(word));
      out.Add(static_cast<USHORT>(cap.Range.DataIndexMin + (cap.IsRange ? k + bit : 0)), 1);
    }
  }
}

void AddButtonCap(const std::vector<HIDP_BUTTON_CAPS>& caps, const std::vector<FieldSpan>& fields,
                  std::size_t i, const std::uint8_t* report, ULONG length, DataList& out) {
  const HIDP_BUTTON_CAPS& cap = caps[i];
  const FieldSpan& f = fields[i];
  if (cap.ReportID != report[0] || !SpanFits(f, length)) return;
  if (!f.is_array) {
    if (f.bit_size == 1) {
      AddBits(cap, f, report, length, out);
      return;
    }
    for (std::uint32_t k = 0; k < f.count; ++k) {
      if (detail::ReadFittingField(report, length, FieldAt(f, k), f.bit_size) != 0) {
        out.Add(static_cast<USHORT>(cap.Range.DataIndexMin + (cap.IsRange ? k : 0)), 1);
      }
    }
    return;
  }
  // An array item's caps are stored together, the last declared (with the
  // highest data indices) first: its fields are read once, for that cap.
  const bool seen =
      i > 0 && fields[i - 1].is_array && fields[i - 1].array_first_index == f.array_first_index;
  if (!seen) AddArrayItem(f, cap.Range.DataIndexMax, report, length, out);
}

void AddValueCap(const HIDP_VALUE_CAPS& cap, const FieldSpan& f, const std::uint8_t* report,
                 ULONG length, DataList& out) {
  if (cap.ReportID != report[0] || IsValueArray(cap, f) || !SpanFits(f, length)) return;
  for (std::uint32_t k = 0; k < f.count; ++k) {
    out.Add(static_cast<USHORT>(cap.Range.DataIndexMin + k),
            detail::ReadFittingField(report, length, FieldAt(f, k), f.bit_size));
  }
}

// Buttons and values in stored order, which is data-index order but for
// arrays: the two cap lists are merged by their first data index.
void AddAll(const PreparsedData& data, HIDP_REPORT_TYPE type, const std::uint8_t* report,
            ULONG length, DataList& out) {
  const std::vector<HIDP_BUTTON_CAPS>& buttons = data.button_caps[type];
  const std::vector<HIDP_VALUE_CAPS>& values = data.value_caps[type];
  std::size_t b = 0;
  std::size_t v = 0;
  while (b < buttons.size() || v < values.size()) {
    const bool button_next =
        v == values.size() ||
        (b < buttons.size() && buttons[b].Range.DataIndexMin < values[v].Range.DataIndexMin);
    if (button_next) {
      AddButtonCap(buttons, data.button_fields[type], b++, report, length, out);
    } else {
      AddValueCap(values[v], data.value_fields[type][v], report, length, out);
      ++v;
    }
  }
}

// One HidP_SetData entry. A button entry with On FALSE turns the button off,
// which it may already be.
NTSTATUS SetEntry(const PreparsedData& data, HIDP_REPORT_TYPE type, const HIDP_DATA& entry,
                  char* report, ULONG length) {
  if (entry.DataIndex >= DataIndexCount(data, type)) return HIDP_STATUS_DATA_INDEX_OUT_OF_RANGE;
  const auto id = Bytes(report)[0];
  bool elsewhere = false;
  const std::vector<HIDP_BUTTON_CAPS>& buttons = data.button_caps[type];
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    const HIDP_BUTTON_CAPS& cap = buttons[i];
    if (!Covers(cap.Range, entry.DataIndex)) continue;
    if (cap.ReportID != id) {
      elsewhere = true;
      continue;
    }
    const detail::ButtonField button{&cap, &data.button_fields[type][i]};
    const auto usage =
        static_cast<USAGE>(cap.Range.UsageMin + (entry.DataIndex - cap.Range.DataIndexMin));
    if (entry.On) return detail::SetButton(button, usage, report, length);
    const NTSTATUS status = detail::UnsetButton(button, usage, report, length);
    return status == HIDP_STATUS_BUTTON_NOT_PRESSED ? HIDP_STATUS_SUCCESS : status;
  }
  const std::vector<HIDP_VALUE_CAPS>& values = data.value_caps[type];
  for (std::size_t i = 0; i < values.size(); ++i) {
    const HIDP_VALUE_CAPS& cap = values[i];
    if (!Covers(cap.Range, entry.DataIndex)) continue;
    if (cap.ReportID != id) {
      elsewhere = true;
      continue;
    }
    const FieldSpan& f = data.value_fields[type][i];
    if (IsValueArray(cap, f)) return HIDP_STATUS_IS_VALUE_ARRAY;
    const std::uint32_t k = entry.DataIndex - cap.Range.DataIndexMin;
    if (k >= f.count) break;  // a range usage beyond the item's fields
    detail::WriteField(Bytes(report), length, FieldAt(f, k), f.bit_size, entry.RawValue);
    return HIDP_STATUS_SUCCESS;
  }
  return elsewhere ? HIDP_STATUS_INCOMPATIBLE_REPORT_ID : HIDP_STATUS_DATA_INDEX_NOT_FOUND;
}

}  // namespace

ULONG MaxDataListLength(HIDP_REPORT_TYPE type, const PreparsedData* data) {
  if (data == nullptr || !detail::IsReportType(type)) return 0;
  ULONG total = MaxUsageListLength(type, 0, data);
  const std::vector<HIDP_VALUE_CAPS>& caps = data->value_caps[type];
  for (std::size_t i = 0; i < caps.size(); ++i) {
    const FieldSpan& f = data->value_fields[type][i];
    if (!IsValueArray(caps[i], f)) total += f.count;
  }
  return total;
}

NTSTATUS GetData(HIDP_REPORT_TYPE type, HIDP_DATA* data_list, ULONG* data_length,
                 const PreparsedData* data, const char* report, ULONG report_length) {
  const NTSTATUS status = detail::CheckReport(data, type, report, report_length);
  if (status != HIDP_STATUS_SUCCESS) return status;
  if (data_length == nullptr) return HIDP_STATUS_INTERNAL_ERROR;  // Windows would fault
  const std::uint8_t* bytes = Bytes(report);
  const std::vector<std::uint8_t>& ids = data->report_ids[type];
  if (!std::binary_search(ids.begin(), ids.end(), bytes[0])) {
    return HIDP_STATUS_REPORT_DOES_NOT_EXIST;
  }
  DataList list(data_list, data_list != nullptr ? *data_length : 0);
  AddAll(*data, type, bytes, report_length, list);
  list.Sort();
  *data_length = list.found();
  return list.fits() ? HIDP_STATUS_SUCCESS : HIDP_STATUS_BUFFER_TOO_SMALL;
}

NTSTATUS SetData(HIDP_REPORT_TYPE type, const HIDP_DATA* data_list, ULONG* data_length,
                 const PreparsedData* data, char* report, ULONG report_length) {
  NTSTATUS status = detail::CheckReport(data, type, report, report_length);
  if (status != HIDP_STATUS_SUCCESS) return status;
  if (data_length == nullptr) return HIDP_STATUS_INTERNAL_ERROR;  // Windows would fault
  const ULONG count = data_list != nullptr ? *data_length : 0;
  for (ULONG n = 0; n < count; ++n) {
    status = SetEntry(*data, type, data_list[n], report, report_length);
    if (status != HIDP_STATUS_SUCCESS) {
      *data_length = n;
      return status;
    }
  }
  return HIDP_STATUS_SUCCESS;
}

}  // namespace hidparse
