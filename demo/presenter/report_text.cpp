// The demo's texts of bytes.
#include "presenter/report_text.h"

#include <string>

#include "qzclasses/format.h"

namespace demo {

namespace {

constexpr char16_t kDigits[] = u"0123456789ABCDEF";

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

void AppendHexByte(qz::Text& out, unsigned value) {
  out.push_back(kDigits[(value >> 4) & 0xF]);
  out.push_back(kDigits[value & 0xF]);
}

}  // namespace

qz::Text HexToStr(std::u16string_view text) {
  qz::Text result;
  for (std::size_t p = 0; p + 1 < text.size(); p += 2) {
    const int high = HexValue(text[p]);
    const int low = HexValue(text[p + 1]);
    if (high < 0 || low < 0) break;
    result.push_back(static_cast<char16_t>(high * 16 + low));
  }
  return result;
}

qz::Text StrToHex(std::u16string_view text) {
  qz::Text result;
  result.reserve(text.size() * 2);
  for (char16_t c : text) AppendHexByte(result, c & 0xFFu);
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
    AppendHexByte(line, bytes[i]);
    line.push_back(u' ');
  }
  return line;
}

qz::Text VendorProductText(std::uint16_t vendorId, std::uint16_t productId) {
  return qz::Format(u"%u %u ", {vendorId, productId});
}

}  // namespace demo
