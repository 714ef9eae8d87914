// Report bytes as users type them and as qzhid prints them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qzhid {

// Hex with or without blanks, commas or 0x ("01 02", "0102", "0x1,0x2"); throws
// UsageError saying what is wrong.
std::vector<std::uint8_t> ParseReportBytes(const std::string& text);

// A report ID: decimal, or hex after 0x; 0 to 255. Throws UsageError.
std::uint8_t ParseReportId(const std::string& text);

// "01 02 ff": two lower-case digits a byte, blank-separated.
std::string HexBytes(const std::vector<std::uint8_t>& bytes);

}  // namespace qzhid
