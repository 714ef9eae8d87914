// printf-like formatting of texts with %s, %d, %u, %x, width and precision.
#pragma once

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "qzclasses/text.h"

namespace qz {

// One argument of Format: an integer (of any width and signedness) or a text.
class FormatArg {
 public:
  enum class Kind { Integer, Text };

  template <std::integral T>
    requires(!std::same_as<T, bool>)
  FormatArg(T value)  // NOLINT(google-explicit-constructor): arguments convert implicitly
      : kind_(Kind::Integer),
        bits_(static_cast<std::uint64_t>(value)),
        signed_(std::is_signed_v<T>) {}
  FormatArg(Text text) : kind_(Kind::Text), text_(std::move(text)) {}
  FormatArg(std::u16string_view text) : kind_(Kind::Text), text_(text) {}
  FormatArg(const char16_t* text) : kind_(Kind::Text), text_(text ? text : u"") {}

  Kind GetKind() const { return kind_; }
  bool IsSigned() const { return signed_; }
  // The integer as a signed value (an unsigned value above INT64_MAX wraps).
  std::int64_t AsInt64() const { return static_cast<std::int64_t>(bits_); }
  std::uint64_t Bits() const { return bits_; }
  const Text& AsText() const { return text_; }

 private:
  Kind kind_;
  std::uint64_t bits_ = 0;
  bool signed_ = false;
  Text text_;
};

using FormatArgs = std::vector<FormatArg>;

// Directives: %[-][width][.precision]type with type s, d, u, x (upper-case digits) or %;
// width and precision may be '*' (taken from the next integer argument). For d, u and x
// the precision is the minimum number of digits (zero-padded); for s the maximum length.
// A directive that does not match its argument throws Error("Format error: ...").
Text Format(std::u16string_view format, std::initializer_list<FormatArg> args);
Text Format(std::u16string_view format, const std::vector<FormatArg>& args);

}  // namespace qz
