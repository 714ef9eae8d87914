// ASCII-only text helpers for 8- and 16-bit characters: lower-casing, comparing without
// regard to case, hex digit values and hex formatting. Device paths, IDs and registry
// names are ASCII; a locale must not change how they compare.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qzplatform {

template <typename Char>
constexpr Char LowerAsciiChar(Char c) {
  return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - Char('A') + Char('a')) : c;
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

// The value of a hex digit of either case; -1 for any other character.
template <typename Char>
constexpr int HexDigitValue(Char c) {
  if (c >= Char('0') && c <= Char('9')) return static_cast<int>(c - Char('0'));
  if (c >= Char('a') && c <= Char('f')) return static_cast<int>(c - Char('a')) + 10;
  if (c >= Char('A') && c <= Char('F')) return static_cast<int>(c - Char('A')) + 10;
  return -1;
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

}  // namespace qzplatform
