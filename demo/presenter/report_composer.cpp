// Composition of the output report.
#include "presenter/report_composer.h"

#include <algorithm>

#include "presenter/report_text.h"

namespace demo {

int ReportIdFromText(const qz::Text& text) {
  const qz::Text t = qz::Trim(text);
  std::size_t i = 0;
  const bool negative = i < t.size() && (t[i] == u'-' || t[i] == u'+') && t[i++] == u'-';
  if (i == t.size()) return 0;
  long long value = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < u'0' || t[i] > u'9') return 0;
    value = std::min<long long>(value * 10 + (t[i] - u'0'), 1LL << 40);
  }
  return static_cast<int>(std::clamp<long long>(negative ? -value : value, 0, 255));
}

std::optional<std::string> ComposeReport(const ReportRequest& request,
                                         std::uint32_t outputReportLength, qz::Text* fault) {
  qz::Text composed(1, static_cast<char16_t>(std::clamp(request.reportId, 0, 255)));
  if (request.reading == kAsciiReading) {
    composed += request.data;
  } else {
    const std::optional<qz::Text> bytes = HexToStr(request.data, fault);
    if (!bytes) return std::nullopt;
    composed += *bytes;
  }
  std::string report = qz::TextToAnsi(composed);
  if (request.fixedLength) report.resize(outputReportLength, '\0');
  return report;
}

}  // namespace demo
