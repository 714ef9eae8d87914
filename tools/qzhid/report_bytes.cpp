// Report bytes as users type them and as qzhid prints them. Typed bytes go through the
// hex reader hidcaps uses for descriptors.
#include "report_bytes.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "command_line.h"
#include "descriptor_input.h"
#include "qzplatform/ascii_text.h"

namespace qzhid {

std::vector<std::uint8_t> ParseReportBytes(const std::string& text) {
  const bool blank = std::all_of(text.begin(), text.end(), [](unsigned char c) {
    return std::isspace(c) != 0 || c == ',';
  });
  if (blank) throw UsageError("no report bytes given: the first byte is the report ID");
  const hidcaps::DescriptorInput input = hidcaps::DecodeDescriptor(text, hidcaps::InputFormat::kHex);
  if (!input.ok()) throw UsageError("report bytes: " + input.error);
  return input.bytes;
}

std::uint8_t ParseReportId(const std::string& text) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  const bool valid = !digits.empty() && digits.size() <= 3 &&
                     std::all_of(digits.begin(), digits.end(), [hex](unsigned char c) {
                       return hex ? std::isxdigit(c) != 0 : std::isdigit(c) != 0;
                     });
  const unsigned long id = valid ? std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10) : 256;
  if (id > 255) throw UsageError("report ID '" + text + "' is not a number from 0 to 255");
  return static_cast<std::uint8_t>(id);
}

std::string HexBytes(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  for (const std::uint8_t b : bytes) {
    if (!text.empty()) text += ' ';
    qzplatform::AppendHex(text, b, 2, true);
  }
  return text;
}

}  // namespace qzhid
