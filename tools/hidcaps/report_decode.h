// Decoding one report for hidcaps: the fields HidP_GetData lists, with their usages,
// usage names, logical and physical values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hidparse/hidparse.h"
#include "qzusbids/usb_ids.h"

namespace hidcaps {

// One entry of HidP_GetData: a value, or a button (bit or array usage) that is on.
struct DecodedField {
  USHORT data_index = 0;
  USAGE usage_page = 0;
  USAGE usage = 0;
  std::string page_name;
  std::string usage_name;
  bool is_button = false;
  ULONG raw = 0;             // a value's bits as the report holds them
  std::int64_t logical = 0;  // the bits read as the logical range reads them (signed or not)
  // HidP_GetScaledUsageValue's answer where the descriptor gives physical extents:
  // the value on success, else the status it returned.
  std::optional<LONG> physical;
  std::optional<NTSTATUS> physical_status;
};

struct DecodedReport {
  NTSTATUS status = HIDP_STATUS_SUCCESS;  // HidP_GetData's status
  std::vector<DecodedField> fields;       // in data-index order
};

// The fields of `report` (byte 0 its report ID, 0 when the device uses none) as
// HidP_GetData lists them for `data`'s reports of that type.
DecodedReport DecodeReport(const hidparse::PreparsedData& data, HIDP_REPORT_TYPE type,
                           const std::vector<std::uint8_t>& report, const qzusbids::UsbIds& names);

// "HIDP_STATUS_INVALID_REPORT_LENGTH" and the like; unknown codes in hex.
std::string StatusName(NTSTATUS status);

}  // namespace hidcaps
