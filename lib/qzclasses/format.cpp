// printf-like formatting shared by the log and the programs.
#include "qzclasses/format.h"

#include <cstdint>
#include <span>

#include "qzclasses/errors.h"
#include "qzplatform/ascii_text.h"

namespace qz {

namespace {

// Widths and precisions above this are refused instead of allocating huge texts.
constexpr std::int64_t kMaxFieldWidth = 1 << 16;

[[noreturn]] void Fail(std::u16string_view detail) {
  throw Error(Text(u"Format error: ") + Text(detail));
}

// `value` in base 10 or 16, upper-case hex digits.
Text Digits(std::uint64_t value, unsigned base) {
  Text out;
  do {
    const unsigned d = static_cast<unsigned>(value % base);
    out.insert(out.begin(), qzplatform::HexDigitChar(d));
    value /= base;
  } while (value != 0);
  return out;
}

// An integer as shown by %u or %x: negative values of 32-bit range show their 32-bit
// two's complement, wider negative values their 64-bit one.
std::uint64_t UnsignedView(const FormatArg& arg) {
  if (!arg.IsSigned() || arg.AsInt64() >= 0) return arg.Bits();
  if (arg.AsInt64() >= INT32_MIN) return static_cast<std::uint32_t>(arg.AsInt64());
  return arg.Bits();
}

class Formatter {
 public:
  Formatter(std::u16string_view format, std::span<const FormatArg> args)
      : format_(format), args_(args) {}

  Text Run() {
    while (pos_ < format_.size()) {
      const char16_t c = format_[pos_++];
      if (c != u'%') {
        out_ += c;
        continue;
      }
      Directive();
    }
    return std::move(out_);
  }

 private:
  const FormatArg& Next(std::u16string_view what) {
    if (next_ >= args_.size()) Fail(Text(u"missing argument for ") + Text(what));
    return args_[next_++];
  }

  // Reads a number or '*' at pos_; returns -1 when neither is there.
  std::int64_t Number(bool& leftAlign) {
    if (pos_ < format_.size() && format_[pos_] == u'*') {
      ++pos_;
      const FormatArg& arg = Next(u"'*'");
      if (arg.GetKind() != FormatArg::Kind::Integer) Fail(u"'*' needs an integer argument");
      std::int64_t value = arg.AsInt64();
      if (arg.IsSigned() && value < 0) {
        leftAlign = true;  // a negative '*' width means left alignment, as in C
        value = value == INT64_MIN ? INT64_MAX : -value;
      } else if (!arg.IsSigned() && arg.Bits() > static_cast<std::uint64_t>(kMaxFieldWidth)) {
        Fail(u"field width is too large");
      }
      if (value > kMaxFieldWidth) Fail(u"field width is too large");
      return value;
    }
    if (pos_ >= format_.size() || format_[pos_] < u'0' || format_[pos_] > u'9') return -1;
    std::int64_t value = 0;
    while (pos_ < format_.size() && format_[pos_] >= u'0' && format_[pos_] <= u'9') {
      value = value * 10 + (format_[pos_++] - u'0');
      if (value > kMaxFieldWidth) Fail(u"field width is too large");
    }
    return value;
  }

  void Directive() {
    const std::size_t start = pos_ - 1;
    bool leftAlign = false;
    if (pos_ < format_.size() && format_[pos_] == u'%') {
      ++pos_;
      out_ += u'%';
      return;
    }
    if (pos_ < format_.size() && format_[pos_] == u'-') {
      leftAlign = true;
      ++pos_;
    }
    const std::int64_t width = Number(leftAlign);
    std::int64_t precision = -1;
    if (pos_ < format_.size() && format_[pos_] == u'.') {
      ++pos_;
      bool ignored = false;
      precision = Number(ignored);
      if (ignored) precision = -1;  // a negative '*' precision counts as none, as in C
      if (precision < 0 && !ignored) precision = 0;
    }
    if (pos_ >= format_.size()) Fail(Text(u"incomplete directive '") + Text(format_.substr(start)) + u"'");
    const char16_t type = format_[pos_++];
    const std::u16string_view directive = format_.substr(start, pos_ - start);
    Text field;
    switch (type) {
      case u's':
      case u'S': {
        const FormatArg& arg = Next(directive);
        if (arg.GetKind() != FormatArg::Kind::Text) Fail(Text(u"'") + Text(directive) + u"' needs a text");
        field = arg.AsText();
        if (precision >= 0 && static_cast<std::size_t>(precision) < field.size()) {
          field.resize(static_cast<std::size_t>(precision));
        }
        break;
      }
      case u'd':
      case u'D':
      case u'u':
      case u'U':
      case u'x':
      case u'X': {
        const FormatArg& arg = Next(directive);
        if (arg.GetKind() != FormatArg::Kind::Integer) {
          Fail(Text(u"'") + Text(directive) + u"' needs an integer");
        }
        field = Integer(arg, type, precision);
        break;
      }
      default:
        Fail(Text(u"unknown directive '") + Text(directive) + u"'");
    }
    Pad(field, width, leftAlign);
  }

  static Text Integer(const FormatArg& arg, char16_t type, std::int64_t precision) {
    bool negative = false;
    Text digits;
    if (type == u'd' || type == u'D') {
      if (arg.IsSigned() && arg.AsInt64() < 0) {
        negative = true;
        digits = Digits(0 - arg.Bits(), 10);
      } else {
        digits = Digits(arg.Bits(), 10);
      }
    } else {
      digits = Digits(UnsignedView(arg), type == u'x' || type == u'X' ? 16 : 10);
    }
    if (precision > 0 && digits.size() < static_cast<std::size_t>(precision)) {
      digits.insert(0, static_cast<std::size_t>(precision) - digits.size(), u'0');
    }
    return negative ? u"-" + digits : digits;
  }

  void Pad(const Text& field, std::int64_t width, bool leftAlign) {
    const std::size_t fill =
        width > 0 && static_cast<std::size_t>(width) > field.size()
            ? static_cast<std::size_t>(width) - field.size()
            : 0;
    if (!leftAlign) out_.append(fill, u' ');
    out_ += field;
    if (leftAlign) out_.append(fill, u' ');
  }

  std::u16string_view format_;
  std::span<const FormatArg> args_;
  std::size_t pos_ = 0;
  std::size_t next_ = 0;
  Text out_;
};

}  // namespace

Text Format(std::u16string_view format, std::initializer_list<FormatArg> args) {
  return Formatter(format, std::span<const FormatArg>(args.begin(), args.size())).Run();
}

Text Format(std::u16string_view format, const std::vector<FormatArg>& args) {
  return Formatter(format, std::span<const FormatArg>(args.data(), args.size())).Run();
}

}  // namespace qz
