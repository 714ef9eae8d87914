// Composition of the output report.
#include "presenter/report_composer.h"

#include <algorithm>

#include "presenter/report_text.h"

namespace demo {

std::string ComposeReport(const ReportRequest& request, std::uint32_t outputReportLength) {
  qz::Text composed(1, static_cast<char16_t>(std::clamp(request.reportId, 0, 255)));
  composed += request.reading == kAsciiReading ? request.data : HexToStr(request.data);
  std::string report = qz::TextToAnsi(composed);
  if (request.fixedLength) report.resize(outputReportLength, '\0');
  return report;
}

}  // namespace demo
