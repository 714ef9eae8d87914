// Time stamps and control-character escaping for log entries.
#include "qzlogfile/log_entry.h"

#include "qzclasses/format.h"
#include "qzplatform/ascii_text.h"

namespace qz {
namespace {

enum class StampPart { ShortDate, LongTime };

int CallLocaleFormat(StampPart part, const SYSTEMTIME& time, LPWSTR buffer, int size) {
  if (part == StampPart::ShortDate) {
    return GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, buffer, size);
  }
  return GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, nullptr, buffer, size);
}

// The date or time in the user's locale format. Asks for the needed length first;
// a failing call leaves the part empty rather than losing the entry.
Text FormatLocale(StampPart part, const SYSTEMTIME& time) {
  const int needed = CallLocaleFormat(part, time, nullptr, 0);
  if (needed <= 0) return {};
  Text buffer(static_cast<std::size_t>(needed), u'\0');
  const int written = CallLocaleFormat(part, time, qzplatform::AsWide(buffer.data()), needed);
  if (written <= 0) return {};
  buffer.resize(static_cast<std::size_t>(written));
  while (!buffer.empty() && buffer.back() == u'\0') buffer.pop_back();
  return buffer;
}

}  // namespace

Text BuildLogStamp(const SYSTEMTIME& time, TLogOptions options) {
  Text stamp;
  if (options.Contains(loDate)) stamp = FormatLocale(StampPart::ShortDate, time);
  if (options.Contains(loTime)) stamp += u" " + FormatLocale(StampPart::LongTime, time);
  if (options.Contains(loMSec)) {
    stamp = Format(u"%s +%0.3d", {stamp, static_cast<int>(time.wMilliseconds % 1000)});
  }
  if (stamp.empty()) return {};
  return u"[" + Trim(stamp) + u"] ";
}

Text EscapeControlChars(std::u16string_view text) {
  Text escaped;
  escaped.reserve(text.size());
  for (char16_t unit : text) {
    if (unit < 32) {
      escaped += u'\\';
      qzplatform::AppendHex(escaped, unit, 2);
      escaped += u'h';
    } else {
      escaped += unit;
    }
  }
  return escaped;
}

}  // namespace qz
