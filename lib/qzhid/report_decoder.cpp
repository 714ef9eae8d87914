// DecodeReport: the shared field decoder run over the HID library binding, the
// fields named from usb.ids.
#include "qzhid/report_decoder.h"

#include <algorithm>

#include "qzhid/usage_names.h"
#include "qzhiddecode/report_fields.h"

namespace qz {
namespace {

std::uint8_t Kind(HIDP_REPORT_TYPE type) { return static_cast<std::uint8_t>(type); }

template <typename Cap>
using CapsGetter = NTSTATUS (*)(std::uint8_t, Cap*, USHORT&, PreparsedHandle);

template <typename Cap>
std::vector<Cap> LoadCaps(CapsGetter<Cap> get, HIDP_REPORT_TYPE type, USHORT count,
                          PreparsedHandle ppd) {
  std::vector<Cap> caps(count);
  USHORT length = count;
  if (count == 0 || get(Kind(type), caps.data(), length, ppd) != HIDP_STATUS_SUCCESS) return {};
  caps.resize(std::min(length, count));
  return caps;
}

// The HidP_ functions of the binding, over one preparsed-data handle.
class BoundFunctions : public qzhiddecode::ReportFunctions {
 public:
  explicit BoundFunctions(PreparsedHandle ppd) : ppd_(ppd) { HidP_GetCaps(ppd, caps_); }

  std::vector<HIDP_BUTTON_CAPS> ButtonCaps(HIDP_REPORT_TYPE type) const override {
    const USHORT counts[] = {caps_.NumberInputButtonCaps, caps_.NumberOutputButtonCaps,
                             caps_.NumberFeatureButtonCaps};
    return LoadCaps<HIDP_BUTTON_CAPS>(HidP_GetButtonCaps, type, counts[type], ppd_);
  }
  std::vector<HIDP_VALUE_CAPS> ValueCaps(HIDP_REPORT_TYPE type) const override {
    const USHORT counts[] = {caps_.NumberInputValueCaps, caps_.NumberOutputValueCaps,
                             caps_.NumberFeatureValueCaps};
    return LoadCaps<HIDP_VALUE_CAPS>(HidP_GetValueCaps, type, counts[type], ppd_);
  }
  ULONG MaxDataListLength(HIDP_REPORT_TYPE type) const override {
    return HidP_MaxDataListLength(Kind(type), ppd_);
  }
  NTSTATUS GetData(HIDP_REPORT_TYPE type, HIDP_DATA* list, ULONG* length, const char* report,
                   ULONG report_length) const override {
    return HidP_GetData(Kind(type), list, *length, ppd_, report, report_length);
  }
  NTSTATUS SetData(HIDP_REPORT_TYPE type, HIDP_DATA* list, ULONG* length, char* report,
                   ULONG report_length) const override {
    return HidP_SetData(Kind(type), list, *length, ppd_, report, report_length);
  }
  NTSTATUS GetUsageValue(HIDP_REPORT_TYPE type, USAGE page, USHORT link_collection, USAGE usage,
                         ULONG* value, const char* report, ULONG report_length) const override {
    return HidP_GetUsageValue(Kind(type), page, link_collection, usage, *value, ppd_, report,
                              report_length);
  }
  NTSTATUS GetScaledUsageValue(HIDP_REPORT_TYPE type, USAGE page, USHORT link_collection,
                               USAGE usage, LONG* value, const char* report,
                               ULONG report_length) const override {
    return HidP_GetScaledUsageValue(Kind(type), page, link_collection, usage, *value, ppd_,
                                    report, report_length);
  }

 private:
  PreparsedHandle ppd_;
  HIDP_CAPS caps_{};
};

}  // namespace

DecodedReport DecodeReport(PreparsedHandle preparsed, ReportKind kind, const void* report,
                           ULONG length) {
  if (preparsed == 0) return {HIDP_STATUS_INVALID_PREPARSED_DATA, {}};
  if (kind > ReportKind::Feature) return {HIDP_STATUS_INVALID_REPORT_TYPE, {}};
  const qzhiddecode::Fields decoded = qzhiddecode::DecodeFields(
      BoundFunctions(preparsed), static_cast<HIDP_REPORT_TYPE>(kind), report, length);
  DecodedReport result{decoded.status, {}};
  for (const qzhiddecode::Field& f : decoded.fields) {
    DecodedField& field = result.fields.emplace_back();
    field.dataIndex = f.data_index;
    field.usagePage = f.usage_page;
    field.usage = f.usage;
    field.usagePageName = HidUsagePageName(f.usage_page);
    field.usageName = HidUsageName(f.usage_page, f.usage);
    field.logical = f.logical;
    field.physical = f.physical;
    field.pressed = f.is_button;
  }
  return result;
}

}  // namespace qz
