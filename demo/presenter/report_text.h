// The demo's texts of bytes: hexadecimal pairs to characters and back, the memo line of a
// received report, and the vendor/product text of a double click.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "qzclasses/text.h"

namespace demo {

// Hexadecimal bytes as people write them to the characters of those codes: pairs of
// digits (either case), in groups that blanks or commas may separate, each group with an
// optional 0x. A group of one digit is one byte. Anything else is no hexadecimal text:
// nothing is returned, and `fault` says what is wrong and where.
std::optional<qz::Text> HexToStr(std::u16string_view text, qz::Text* fault = nullptr);
// Each character's low 8 bits as two upper-case hexadecimal digits, no separators.
qz::Text StrToHex(std::u16string_view text);

// "HID Report is received:  <count> bytes " and then each byte as two upper-case digits
// followed by a blank.
qz::Text ReceivedReportLine(const std::uint8_t* bytes, std::uint32_t count);

// Vendor and product ID in decimal, each followed by a blank ("1133 256 ").
qz::Text VendorProductText(std::uint16_t vendorId, std::uint16_t productId);

}  // namespace demo
