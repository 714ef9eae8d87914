// Error messages naming a device field, GUID text, and small text helpers.
#include <cstdio>

#include "field_error.h"

namespace qzplatform::sim {

void ThrowFieldError(std::size_t device, std::string_view name, std::string_view field,
                     std::string_view what) {
  std::string message = "device " + std::to_string(device);
  if (!name.empty()) message += " (\"" + std::string(name) + "\")";
  if (!field.empty()) message += ", field \"" + std::string(field) + "\"";
  message += ": ";
  message += what;
  throw LoadError(message);
}

std::string HexNumber(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

std::u16string Widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::u16string LowerAscii(std::u16string text) {
  for (char16_t& c : text)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return text;
}

std::u16string GuidText(const GUID& g, bool lower) { return hidshared::GuidText(g, lower); }

std::optional<GUID> ParseGuid(std::string_view text) {
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
  if (text.size() != 36) return std::nullopt;
  std::uint8_t bytes[16];
  std::size_t n = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (text[i++] != '-') return std::nullopt;
      continue;
    }
    unsigned value = 0;
    for (int k = 0; k < 2; ++k, ++i) {
      const char c = text[i];
      unsigned digit;
      if (c >= '0' && c <= '9')
        digit = static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f')
        digit = static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        digit = static_cast<unsigned>(c - 'A' + 10);
      else
        return std::nullopt;
      value = value * 16 + digit;
    }
    bytes[n++] = static_cast<std::uint8_t>(value);
  }
  GUID g{};
  g.Data1 = (DWORD{bytes[0]} << 24) | (DWORD{bytes[1]} << 16) | (DWORD{bytes[2]} << 8) | bytes[3];
  g.Data2 = static_cast<WORD>((bytes[4] << 8) | bytes[5]);
  g.Data3 = static_cast<WORD>((bytes[6] << 8) | bytes[7]);
  for (int i = 0; i < 8; ++i) g.Data4[i] = bytes[8 + i];
  return g;
}

bool SameGuid(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i]) return false;
  return true;
}

}  // namespace qzplatform::sim
