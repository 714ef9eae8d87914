// The decoded view of a report: every control HidP_GetData lists, with its usage,
// the usage's name and its value, read through the HID library binding.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "qzclasses/text.h"
#include "qzhidw32/qzhidw32.h"

namespace qz {

// The report types, numbered as the HID library numbers them.
enum class ReportKind : std::uint8_t { Input = 0, Output = 1, Feature = 2 };

// One control of a decoded report.
struct DecodedField {
  USHORT dataIndex = 0;
  USAGE usagePage = 0;
  USAGE usage = 0;
  Text usagePageName;  // from usb.ids; numbers where it names none
  Text usageName;
  // The control's value, sign-extended when its logical minimum is negative; 1 for a
  // button or array usage that is on.
  std::int64_t logical = 0;
  // Only where the descriptor gives the value a physical range and the logical value
  // lies within its logical range.
  std::optional<LONG> physical;
  // A button, or a usage an array field holds: listed only while on.
  bool pressed = false;
};

struct DecodedReport {
  // HIDP_STATUS_SUCCESS, or why nothing was decoded: HidP_GetData's status (a report
  // of the wrong length, an unknown report ID, ...), HIDP_STATUS_INVALID_PREPARSED_DATA
  // without preparsed data, HIDP_STATUS_INVALID_REPORT_LENGTH for a null report.
  NTSTATUS status = HIDP_STATUS_SUCCESS;
  std::vector<DecodedField> fields;  // in HidP_GetData's order: ascending data index
};

// Decodes a whole report, report ID first (0 when the device uses none), against the
// preparsed data of the collection it belongs to.
DecodedReport DecodeReport(PreparsedHandle preparsed, ReportKind kind, const void* report,
                           ULONG length);

}  // namespace qz
