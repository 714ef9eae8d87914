// ASCII-only text helpers for 8- and 16-bit characters: lower-casing, comparing without
// regard to case, reading numbers, hex formatting and GUID text. Device paths, IDs and
// registry names are ASCII; a locale must not change how they compare or read.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qzplatform {

template <typename Char>
constexpr Char LowerAsciiChar(Char c) {
  return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

// The value of a hex digit of either case; -1 for any other character.
template <typename Char>
constexpr int HexDigitValue(Char c) {
  if (c >= Char('0') && c <= Char('9')) return static_cast<int>(c - Char('0'));
  if (c >= Char('a') && c <= Char('f')) return static_cast<int>(c - Char('a')) + 10;
  if (c >= Char('A') && c <= Char('F')) return static_cast<int>(c - Char('A')) + 10;
  return -1;
}

namespace ascii_detail {

template <typename Char>
std::basic_string<Char> Lower(std::basic_string_view<Char> text) {
  std::basic_string<Char> lower(text);
  for (Char& c : lower) c = LowerAsciiChar(c);
  return lower;
}

template <typename Char>
constexpr bool EqualNoCase(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerAsciiChar(a[i]) != LowerAsciiChar(b[i])) return false;
  return true;
}

// `text` as digits of `base` (10 or 16, hex digits of either case): no sign, blank or
// prefix. Nothing for empty text, any other character, or a value above `limit`.
template <typename Char>
constexpr std::optional<unsigned long long> ParseUnsigned(std::basic_string_view<Char> text,
                                                          unsigned base, unsigned long long limit) {
  if (text.empty()) return std::nullopt;
  unsigned long long value = 0;
  for (Char c : text) {
    const int digit = HexDigitValue(c);
    if (digit < 0 || static_cast<unsigned>(digit) >= base) return std::nullopt;
    if (value > (limit - static_cast<unsigned>(digit)) / base) return std::nullopt;
    value = value * base + static_cast<unsigned>(digit);
  }
  return value;
}

}  // namespace ascii_detail

// `text` with A-Z lowered; every other character as it was.
inline std::string LowerAsciiText(std::string_view text) { return ascii_detail::Lower(text); }
inline std::u16string LowerAsciiText(std::u16string_view text) {
  return ascii_detail::Lower(text);
}

constexpr bool EqualAsciiNoCase(std::string_view a, std::string_view b) {
  return ascii_detail::EqualNoCase(a, b);
}
constexpr bool EqualAsciiNoCase(std::u16string_view a, std::u16string_view b) {
  return ascii_detail::EqualNoCase(a, b);
}

constexpr std::optional<unsigned long long> ParseUnsigned(std::string_view text, unsigned base,
                                                          unsigned long long limit = ~0ull) {
  return ascii_detail::ParseUnsigned(text, base, limit);
}
constexpr std::optional<unsigned long long> ParseUnsigned(std::u16string_view text, unsigned base,
                                                          unsigned long long limit = ~0ull) {
  return ascii_detail::ParseUnsigned(text, base, limit);
}

// The hex digit of the low four bits of `value`, upper-case unless asked otherwise.
template <typename Char = char16_t>
constexpr Char HexDigitChar(unsigned long value, bool lower = false) {
  return static_cast<Char>((lower ? "0123456789abcdef" : "0123456789ABCDEF")[value & 0xF]);
}

// Appends the low `digits` hex digits of `value`, most significant first.
template <typename Char>
void AppendHex(std::basic_string<Char>& out, unsigned long value, int digits, bool lower = false) {
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
    out += HexDigitChar<Char>(value >> shift, lower);
}

// `value` in upper-case hex with at least `digits` digits, more when it needs them.
template <typename Char = char>
std::basic_string<Char> HexText(unsigned long value, int digits) {
  int needed = 1;
  while (needed < int(sizeof value * 2) && (value >> (needed * 4)) != 0) ++needed;
  std::basic_string<Char> text;
  AppendHex(text, value, digits > needed ? digits : needed);
  return text;
}

// A GUID in registry form, {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}, upper-case unless asked
// otherwise. Any struct with GUID's fields will do, so Windows' own GUID works as ours does.
template <typename Guid>
std::u16string GuidText(const Guid& guid, bool lower = false) {
  std::u16string text;
  text.reserve(38);
  text += u'{';
  AppendHex(text, guid.Data1, 8, lower);
  text += u'-';
  AppendHex(text, guid.Data2, 4, lower);
  text += u'-';
  AppendHex(text, guid.Data3, 4, lower);
  text += u'-';
  for (int i = 0; i < 8; ++i) {
    if (i == 2) text += u'-';
    AppendHex(text, guid.Data4[i], 2, lower);
  }
  text += u'}';
  return text;
}

// Reads "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" (hex of either case, no braces) as a `Guid`.
template <typename Guid, typename Char>
constexpr std::optional<Guid> ParseGuidText(std::basic_string_view<Char> text) {
  if (text.size() != 36) return std::nullopt;
  unsigned char bytes[16] = {};
  std::size_t n = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (text[i++] != Char('-')) return std::nullopt;
      continue;
    }
    const int high = HexDigitValue(text[i]), low = HexDigitValue(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes[n++] = static_cast<unsigned char>(high * 16 + low);
    i += 2;
  }
  Guid guid{};
  unsigned long data1 = 0;
  for (int i = 0; i < 4; ++i) data1 = data1 << 8 | bytes[i];
  guid.Data1 = static_cast<decltype(guid.Data1)>(data1);
  guid.Data2 = static_cast<decltype(guid.Data2)>((bytes[4] << 8) | bytes[5]);
  guid.Data3 = static_cast<decltype(guid.Data3)>((bytes[6] << 8) | bytes[7]);
  for (int i = 0; i < 8; ++i) guid.Data4[i] = bytes[8 + i];
  return guid;
}

}  // namespace qzplatform
