// One report's fields as HidP_GetData lists them, each traced back to the cap that
// holds its data index for its usage, logical and physical values. One decoder for
// every program: callers hand it the HidP_ functions they have.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "qzplatform/hid.h"

namespace qzhiddecode {

// The HidP_ calls decoding needs, over one top-level collection's preparsed data.
class ReportFunctions {
 public:
  virtual ~ReportFunctions() = default;
  virtual std::vector<HIDP_BUTTON_CAPS> ButtonCaps(HIDP_REPORT_TYPE type) const = 0;
  virtual std::vector<HIDP_VALUE_CAPS> ValueCaps(HIDP_REPORT_TYPE type) const = 0;
  virtual ULONG MaxDataListLength(HIDP_REPORT_TYPE type) const = 0;
  virtual NTSTATUS GetData(HIDP_REPORT_TYPE type, HIDP_DATA* list, ULONG* length,
                           const char* report, ULONG report_length) const = 0;
  virtual NTSTATUS SetData(HIDP_REPORT_TYPE type, HIDP_DATA* list, ULONG* length, char* report,
                           ULONG report_length) const = 0;
  virtual NTSTATUS GetUsageValue(HIDP_REPORT_TYPE type, USAGE page, USHORT link_collection,
                                 USAGE usage, ULONG* value, const char* report,
                                 ULONG report_length) const = 0;
  virtual NTSTATUS GetScaledUsageValue(HIDP_REPORT_TYPE type, USAGE page, USHORT link_collection,
                                       USAGE usage, LONG* value, const char* report,
                                       ULONG report_length) const = 0;
};

// One entry of HidP_GetData: a value, or a button (a bit or an array usage) that is on.
struct Field {
  USHORT data_index = 0;
  USAGE usage_page = 0;
  USAGE usage = 0;
  bool is_button = false;
  ULONG raw = 0;             // the bits as the report holds them; 1 for a button
  std::int64_t logical = 0;  // read as the logical range reads them: signed when it is
  // HidP_GetScaledUsageValue's answer where the descriptor gives physical extents and
  // the call reads this field: the value on success, else the status it returned.
  std::optional<LONG> physical;
  std::optional<NTSTATUS> physical_status;
};

struct Fields {
  NTSTATUS status = HIDP_STATUS_SUCCESS;  // HidP_GetData's status
  std::vector<Field> fields;              // in data-index order
};

// The fields of `report` (byte 0 its report ID, 0 when the device uses none).
Fields DecodeFields(const ReportFunctions& hid, HIDP_REPORT_TYPE type, const void* report,
                    ULONG length);

}  // namespace qzhiddecode
