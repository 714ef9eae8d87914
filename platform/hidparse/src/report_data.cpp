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
using detail::IsValueArray;

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
    in_order_ = in_order_ && data_index >= last_index_;
    last_index_ = data_index;
    ++found_;
  }
  // Windows lists entries by data index; they come in that order but for array
  // fields, which hold their indices in any order. Then an insertion sort:
  // stable, in place, and short work on a list nearly in order.
  void Sort() {
    if (in_order_) return;
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
  USHORT last_index_ = 0;
  bool in_order_ = true;
};

void AddValues(const DataStep& step, const std::uint8_t* report, ULONG length, DataList& out) {
  const FieldSpan& f = step.fields;
  std::int64_t bit = f.first_bit;
  for (std::uint32_t k = 0; k < f.count; ++k, bit += step.stride) {
    out.Add(static_cast<USHORT>(step.first_index + k),
            detail::ReadFittingField(report, length, static_cast<std::uint64_t>(bit),
                                     f.bit_size));
  }
}

// One-bit buttons, read 32 at a time.
void AddBits(const DataStep& step, const std::uint8_t* report, ULONG length, DataList& out) {
  const FieldSpan& f = step.fields;
  for (std::uint32_t k = 0; k < f.count; k += 32) {
    const std::uint32_t bits = std::min<std::uint32_t>(32, f.count - k);
    std::uint32_t word = detail::ReadFittingField(report, length, f.first_bit + k, bits);
    for (; word != 0; word &= word - 1) {
      const auto bit = static_cast<std::uint32_t>(std::countr_zero(word));
      out.Add(static_cast<USHORT>(step.first_index + (step.is_range ? k + bit : 0)), 1);
    }
  }
}

void AddArrayItem(const DataStep& step, const std::uint8_t* report, ULONG length,
                  DataList& out) {
  const FieldSpan& f = step.fields;
  for (std::uint32_t k = 0; k < f.count; ++k) {
    const std::uint32_t value = detail::ReadFittingField(report, length, FieldAt(f, k), f.bit_size);
    const std::uint64_t data_index = std::uint64_t{step.first_index} + value - f.array_origin;
    if (value != 0 && data_index <= step.last_index) {
      out.Add(static_cast<USHORT>(data_index), 1);
    }
  }
}

// GetData's walk over the steps of this report ID. The report has the caps'
// length, inside which the layout keeps every step's fields.
void AddAll(const PreparsedData& data, HIDP_REPORT_TYPE type, const std::uint8_t* report,
            ULONG length, DataList& out) {
  for (const DataStep& step : data.data_steps[type]) {
    if (step.report_id != report[0]) continue;
    switch (step.kind) {
      case DataStep::Kind::kValues: AddValues(step, report, length, out); break;
      case DataStep::Kind::kBits: AddBits(step, report, length, out); break;
      case DataStep::Kind::kArray: AddArrayItem(step, report, length, out); break;
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
