// The report functions for values: HidP_GetUsageValue, HidP_SetUsageValue, their
// scaled forms, which convert between logical and physical units, and the usage
// value array functions.
#include "hidparse/report.h"
#include "report_access.h"
#include "report_bits.h"

namespace hidparse {

namespace {

using detail::Bytes;

// Where a value usage lives in the caller's report.
struct ValueField {
  const HIDP_VALUE_CAPS* cap = nullptr;
  const FieldSpan* fields = nullptr;
  std::uint64_t bit = 0;
};

NTSTATUS FindValue(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection, USAGE usage,
                   const PreparsedData* data, const char* report, ULONG report_length,
                   ValueField* out) {
  NTSTATUS status = detail::CheckReport(data, type, report, report_length);
  if (status != HIDP_STATUS_SUCCESS) return status;
  std::size_t i = 0;
  status = detail::FindCap(data->value_caps[type], data->value_fields[type], usage_page,
                           link_collection, usage, Bytes(report)[0], &i);
  if (status != HIDP_STATUS_SUCCESS) return status;
  out->cap = &data->value_caps[type][i];
  out->fields = &data->value_fields[type][i];
  out->bit = detail::FieldBit(*out->cap, data->value_fields[type][i], usage);
  return HIDP_STATUS_SUCCESS;
}

// The extents scaling works between; a physical range of 0 to 0 means the
// logical one, as HID defines for an item without physical extents.
struct Extents {
  std::int64_t logical_min, logical_max, physical_min, physical_max;
};

bool ScalingExtents(const HIDP_VALUE_CAPS& cap, Extents* e) {
  const bool no_physical = cap.PhysicalMin == 0 && cap.PhysicalMax == 0;
  *e = Extents{cap.LogicalMin, cap.LogicalMax, no_physical ? cap.LogicalMin : cap.PhysicalMin,
               no_physical ? cap.LogicalMax : cap.PhysicalMax};
  return e->logical_min < e->logical_max && e->physical_min < e->physical_max;
}

// The field's bits as a logical value: signed when the logical range is.
std::int64_t LogicalValue(std::uint32_t raw, const HIDP_VALUE_CAPS& cap) {
  const std::uint32_t bits = cap.BitSize;
  if (cap.LogicalMin >= 0 || bits == 0 || bits >= 32) {
    return cap.LogicalMin < 0 ? static_cast<std::int32_t>(raw) : std::int64_t{raw};
  }
  const std::uint32_t sign = 1u << (bits - 1);
  return static_cast<std::int64_t>(raw ^ sign) - sign;
}

// Maps `value` in [from_min, from_max] onto [to_min, to_max]. The extents are
// 32-bit, so each span is below 2^32 and their product fits 64 unsigned bits.
std::int64_t Scale(std::int64_t value, std::int64_t from_min, std::int64_t from_max,
                   std::int64_t to_min, std::int64_t to_max) {
  const auto offset = static_cast<std::uint64_t>(value - from_min) *
                      static_cast<std::uint64_t>(to_max - to_min);
  const auto from_span = static_cast<std::uint64_t>(from_max - from_min);
  return to_min + static_cast<std::int64_t>(offset / from_span);
}

// A value outside the logical range, which the device reads as "no value".
std::uint32_t NullValue(const HIDP_VALUE_CAPS& cap) {
  return cap.LogicalMin > 0 ? 0u : static_cast<std::uint32_t>(cap.LogicalMax) + 1u;
}

// The checks of the value-array functions after the usage is found: a usage value
// array, a buffer that holds all of it, and whole-byte fields, which is all
// Windows copies (a 4-bit array gets NOT_IMPLEMENTED there).
NTSTATUS CheckValueArray(const ValueField& field, USHORT buffer_length, std::uint32_t* bytes) {
  const FieldSpan& f = *field.fields;
  if (field.cap->IsRange || f.count < 2) return HIDP_STATUS_NOT_VALUE_ARRAY;
  *bytes = (std::uint32_t{f.bit_size} * f.count + 7) / 8;
  if (buffer_length < *bytes) return HIDP_STATUS_BUFFER_TOO_SMALL;
  if (f.bit_size % 8 != 0) return HIDP_STATUS_NOT_IMPLEMENTED;
  return HIDP_STATUS_SUCCESS;
}

}  // namespace

NTSTATUS GetUsageValueArray(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                            USAGE usage, char* buffer, USHORT buffer_length,
                            const PreparsedData* data, const char* report, ULONG report_length) {
  ValueField field;
  NTSTATUS status =
      FindValue(type, usage_page, link_collection, usage, data, report, report_length, &field);
  std::uint32_t bytes = 0;
  if (status == HIDP_STATUS_SUCCESS) status = CheckValueArray(field, buffer_length, &bytes);
  if (status != HIDP_STATUS_SUCCESS) return status;
  if (buffer == nullptr) return HIDP_STATUS_INTERNAL_ERROR;  // Windows would fault
  for (std::uint32_t j = 0; j < bytes; ++j) {
    buffer[j] = static_cast<char>(
        detail::ReadField(Bytes(report), report_length, field.bit + 8 * std::uint64_t{j}, 8));
  }
  return HIDP_STATUS_SUCCESS;
}

NTSTATUS SetUsageValueArray(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                            USAGE usage, const char* buffer, USHORT buffer_length,
                            const PreparsedData* data, char* report, ULONG report_length) {
  ValueField field;
  NTSTATUS status =
      FindValue(type, usage_page, link_collection, usage, data, report, report_length, &field);
  std::uint32_t bytes = 0;
  if (status == HIDP_STATUS_SUCCESS) status = CheckValueArray(field, buffer_length, &bytes);
  if (status != HIDP_STATUS_SUCCESS) return status;
  if (buffer == nullptr) return HIDP_STATUS_INTERNAL_ERROR;  // Windows would fault
  for (std::uint32_t j = 0; j < bytes; ++j) {
    detail::WriteField(Bytes(report), report_length, field.bit + 8 * std::uint64_t{j}, 8,
                       static_cast<std::uint8_t>(buffer[j]));
  }
  return HIDP_STATUS_SUCCESS;
}

NTSTATUS GetUsageValue(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                       USAGE usage, ULONG* value, const PreparsedData* data, const char* report,
                       ULONG report_length) {
  ValueField field;
  const NTSTATUS status =
      FindValue(type, usage_page, link_collection, usage, data, report, report_length, &field);
  if (status != HIDP_STATUS_SUCCESS) return status;
  if (value == nullptr) return HIDP_STATUS_INTERNAL_ERROR;  // Windows would fault
  *value = detail::ReadField(Bytes(report), report_length, field.bit, field.cap->BitSize);
  return HIDP_STATUS_SUCCESS;
}

NTSTATUS SetUsageValue(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                       USAGE usage, ULONG value, const PreparsedData* data, char* report,
                       ULONG report_length) {
  ValueField field;
  const NTSTATUS status =
      FindValue(type, usage_page, link_collection, usage, data, report, report_length, &field);
  if (status != HIDP_STATUS_SUCCESS) return status;
  detail::WriteField(Bytes(report), report_length, field.bit, field.cap->BitSize,
                     static_cast<std::uint32_t>(value));
  return HIDP_STATUS_SUCCESS;
}

NTSTATUS GetScaledUsageValue(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                             USAGE usage, LONG* value, const PreparsedData* data,
                             const char* report, ULONG report_length) {
  ValueField field;
  const NTSTATUS status =
      FindValue(type, usage_page, link_collection, usage, data, report, report_length, &field);
  if (status != HIDP_STATUS_SUCCESS) return status;
  if (value == nullptr) return HIDP_STATUS_INTERNAL_ERROR;  // Windows would fault
  *value = 0;
  const HIDP_VALUE_CAPS& cap = *field.cap;
  Extents e;
  if (!ScalingExtents(cap, &e)) return HIDP_STATUS_BAD_LOG_PHY_VALUES;
  const std::int64_t logical = LogicalValue(
      detail::ReadField(Bytes(report), report_length, field.bit, cap.BitSize), cap);
  if (logical < e.logical_min || logical > e.logical_max) {
    return cap.HasNull ? HIDP_STATUS_NULL : HIDP_STATUS_VALUE_OUT_OF_RANGE;
  }
  *value = static_cast<LONG>(
      Scale(logical, e.logical_min, e.logical_max, e.physical_min, e.physical_max));
  return HIDP_STATUS_SUCCESS;
}

NTSTATUS SetScaledUsageValue(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                             USAGE usage, LONG value, const PreparsedData* data, char* report,
                             ULONG report_length) {
  ValueField field;
  const NTSTATUS status =
      FindValue(type, usage_page, link_collection, usage, data, report, report_length, &field);
  if (status != HIDP_STATUS_SUCCESS) return status;
  const HIDP_VALUE_CAPS& cap = *field.cap;
  Extents e;
  if (!ScalingExtents(cap, &e)) return HIDP_STATUS_BAD_LOG_PHY_VALUES;
  std::uint8_t* bytes = Bytes(report);
  if (value < e.physical_min || value > e.physical_max) {
    if (!cap.HasNull) return HIDP_STATUS_VALUE_OUT_OF_RANGE;
    detail::WriteField(bytes, report_length, field.bit, cap.BitSize, NullValue(cap));
    return HIDP_STATUS_NULL;
  }
  const std::int64_t logical =
      Scale(value, e.physical_min, e.physical_max, e.logical_min, e.logical_max);
  detail::WriteField(bytes, report_length, field.bit, cap.BitSize,
                     static_cast<std::uint32_t>(logical));
  return HIDP_STATUS_SUCCESS;
}

}  // namespace hidparse
