// The demo's texts of bytes.
#include "presenter/report_text.h"

#include <string>

#include "qzclasses/format.h"
#include "qzplatform/ascii_text.h"

namespace demo {

using qzplatform::AppendHex;
using qzplatform::HexDigitValue;

std::optional<qz::Text> HexToStr(std::u16string_view text, qz::Text* fault) {
  const auto separator = [](char16_t c) { return c <= u' ' || c == u','; };
  const auto fail = [&](const qz::Text& why) {
    if (fault) *fault = why;
    return std::nullopt;
  };
  qz::Text result;
  std::size_t p = 0;
  while (p < text.size()) {
    if (separator(text[p])) {
      ++p;
      continue;
    }
    std::size_t end = p;
    while (end < text.size() && !separator(text[end])) ++end;
    const std::u16string_view group = text.substr(p, end - p);
    std::size_t digits = p;
    if (group.size() > 2 && group[0] == u'0' && (group[1] == u'x' || group[1] == u'X')) digits += 2;
    if (digits == end) return fail(qz::Format(u"\"%s\" has no digits", {qz::Text(group)}));
    for (std::size_t i = digits; i < end; ++i) {
      if (HexDigitValue(text[i]) < 0) {
        return fail(qz::Format(u"\"%s\" at character %u is not a hexadecimal digit",
                               {qz::Text(1, text[i]), i + 1}));
      }
    }
    const std::size_t count = end - digits;
    if (count == 1) {
      result.push_back(static_cast<char16_t>(HexDigitValue(text[digits])));
    } else if (count % 2 != 0) {
      return fail(qz::Format(u"\"%s\" has an odd number of digits", {qz::Text(group)}));
    } else {
      for (std::size_t i = digits; i < end; i += 2) {
        const int value = HexDigitValue(text[i]) * 16 + HexDigitValue(text[i + 1]);
        result.push_back(static_cast<char16_t>(value));
      }
    }
    p = end;
  }
  return result;
}

qz::Text StrToHex(std::u16string_view text) {
  qz::Text result;
  result.reserve(text.size() * 2);
  for (char16_t c : text) AppendHex(result, c, 2);
  return result;
}

qz::Text ReceivedReportLine(const std::uint8_t* bytes, std::uint32_t count) {
  // Built by hand: this runs once per report on the monitoring thread.
  static constexpr std::u16string_view kHead = u"HID Report is received:  ";
  const std::string number = std::to_string(count);
  qz::Text line;
  line.reserve(kHead.size() + number.size() + 7 + std::size_t{count} * 3);
  line.append(kHead);
  line.append(number.begin(), number.end());
  line.append(u" bytes ");
  for (std::uint32_t i = 0; i < count; ++i) {
    AppendHex(line, bytes[i], 2);
    line.push_back(u' ');
  }
  return line;
}

qz::Text VendorProductText(std::uint16_t vendorId, std::uint16_t productId) {
  return qz::Format(u"%u %u ", {vendorId, productId});
}

}  // namespace demo
