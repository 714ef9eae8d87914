// Decodes a report with the parser's HidP_ report functions and names each field's usage.
#include "report_decode.h"

#include <cstdio>
#include <utility>

#include "hidparse/report.h"

namespace hidcaps {

namespace {

// The descriptor parser's HidP_ functions, over one collection's preparsed data.
class ParserFunctions : public qzhiddecode::ReportFunctions {
 public:
  explicit ParserFunctions(const hidparse::PreparsedData& data) : data_(data) {}

  std::vector<HIDP_BUTTON_CAPS> ButtonCaps(HIDP_REPORT_TYPE type) const override {
    return data_.button_caps[type];
  }
  std::vector<HIDP_VALUE_CAPS> ValueCaps(HIDP_REPORT_TYPE type) const override {
    return data_.value_caps[type];
  }
  ULONG MaxDataListLength(HIDP_REPORT_TYPE type) const override {
    return hidparse::MaxDataListLength(type, &data_);
  }
  NTSTATUS GetData(HIDP_REPORT_TYPE type, HIDP_DATA* list, ULONG* length, const char* report,
                   ULONG report_length) const override {
    return hidparse::GetData(type, list, length, &data_, report, report_length);
  }
  NTSTATUS SetData(HIDP_REPORT_TYPE type, HIDP_DATA* list, ULONG* length, char* report,
                   ULONG report_length) const override {
    return hidparse::SetData(type, list, length, &data_, report, report_length);
  }
  NTSTATUS GetUsageValue(HIDP_REPORT_TYPE type, USAGE page, USHORT link_collection, USAGE usage,
                         ULONG* value, const char* report, ULONG report_length) const override {
    return hidparse::GetUsageValue(type, page, link_collection, usage, value, &data_, report,
                                   report_length);
  }
  NTSTATUS GetScaledUsageValue(HIDP_REPORT_TYPE type, USAGE page, USHORT link_collection,
                               USAGE usage, LONG* value, const char* report,
                               ULONG report_length) const override {
    return hidparse::GetScaledUsageValue(type, page, link_collection, usage, value, &data_,
                                         report, report_length);
  }

 private:
  const hidparse::PreparsedData& data_;
};

}  // namespace

DecodedReport DecodeReport(const hidparse::PreparsedData& data, HIDP_REPORT_TYPE type,
                           const std::vector<std::uint8_t>& report, const qzusbids::UsbIds& names) {
  const qzhiddecode::Fields fields = qzhiddecode::DecodeFields(
      ParserFunctions(data), type, report.data(), static_cast<ULONG>(report.size()));
  DecodedReport decoded{fields.status, {}};
  for (const qzhiddecode::Field& field : fields.fields) {
    DecodedField& named = decoded.fields.emplace_back();
    static_cast<qzhiddecode::Field&>(named) = field;
    named.page_name = names.UsagePage(field.usage_page);
    named.usage_name = names.Usage(field.usage_page, field.usage);
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
