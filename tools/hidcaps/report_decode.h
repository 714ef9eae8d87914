// Decoding one report for hidcaps: the fields HidP_GetData lists, with their usages,
// usage names, logical and physical values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hidparse/hidparse.h"
#include "qzhiddecode/report_fields.h"
#include "qzusbids/usb_ids.h"

namespace hidcaps {

// One entry of HidP_GetData with its usage page's and usage's names.
struct DecodedField : qzhiddecode::Field {
  std::string page_name;
  std::string usage_name;
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
