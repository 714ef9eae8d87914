// The output report the "Send HID Report" group composes: report ID first, then the data
// read as text or as hexadecimal bytes, optionally cut or padded to a fixed length.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "qzclasses/text.h"

namespace demo {

// How the data field is read: the data-type box's item, or none selected.
enum DataReading : int { kNoReading = -1, kAsciiReading = 0, kHexReading = 1 };

// What the group's controls hold when a send button is pressed.
struct ReportRequest {
  int reportId = 0;                  // the ID field; brought into 0..255
  int reading = kNoReading;          // only kAsciiReading reads the data as text
  qz::Text data = u"Hello Device";
  bool fixedLength = false;
};

// The report ID field's text as its value: a blank or emptied field and a text that is
// not a number read as 0, a number outside 0..255 as the nearer bound.
int ReportIdFromText(const qz::Text& text);

// The report's bytes. Characters become bytes through the 8-bit code page (one byte per
// character). With fixedLength the report is exactly `outputReportLength` bytes: a longer
// composition is cut, a shorter one padded with zeros. Data to be read as hexadecimal
// that is not gives nothing, and `fault` the reason.
std::optional<std::string> ComposeReport(const ReportRequest& request,
                                         std::uint32_t outputReportLength, qz::Text* fault = nullptr);

}  // namespace demo
