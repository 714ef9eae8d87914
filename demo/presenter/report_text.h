// The demo's texts of bytes: hexadecimal pairs to characters and back, the memo line of a
// received report, and the vendor/product text of a double click.
#pragma once

#include <cstdint>
#include <string_view>

#include "qzclasses/text.h"

namespace demo {

// Pairs of hexadecimal digits (either case) to the characters of those codes. There are
// no separators: the first pair that is not two digits ends the conversion, and a single
// character left over at the end is ignored.
qz::Text HexToStr(std::u16string_view text);
// Each character's low 8 bits as two upper-case hexadecimal digits, no separators.
qz::Text StrToHex(std::u16string_view text);

// "HID Report is received:  <count> bytes " and then each byte as two upper-case digits
// followed by a blank.
qz::Text ReceivedReportLine(const std::uint8_t* bytes, std::uint32_t count);

// Vendor and product ID in decimal, each followed by a blank ("1133 256 ").
qz::Text VendorProductText(std::uint16_t vendorId, std::uint16_t productId);

}  // namespace demo
