// Descriptor input for hidcaps: file or stdin, hex text or binary, with errors
// that name the line and the offending text.
#include "descriptor_input.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "qzplatform/ascii_text.h"

namespace hidcaps {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool StartsComment(const std::string& text, std::size_t i) {
  return text[i] == '#' || (text[i] == '/' && i + 1 < text.size() && text[i + 1] == '/');
}

// Printable ASCII and blanks; comments may also hold UTF-8 (bytes from 0x80 on).
bool IsText(const std::string& content) {
  bool in_comment = false;
  for (std::size_t i = 0; i < content.size(); ++i) {
    const auto c = static_cast<unsigned char>(content[i]);
    if (c == '\n') in_comment = false;
    if (!in_comment && StartsComment(content, i)) in_comment = true;
    if (IsBlank(static_cast<char>(c)) || (c >= 0x20 && c <= 0x7E)) continue;
    if (!in_comment || c < 0x80) return false;
  }
  return true;
}

// A UTF-8 byte order mark, which editors may put before hex text.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool HasByteOrderMark(const std::string& content) {
  return content.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0;
}

std::string Where(int line, const std::string& token) {
  return "line " + std::to_string(line) + ": '" + token + "'";
}

// One token: "0x5", "0x05" (one byte each) or "05", "0501ff" (pairs of digits).
bool DecodeToken(const std::string& token, int line, std::vector<std::uint8_t>& bytes,
                 std::string& error) {
  const bool prefixed =
      token.size() >= 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X');
  const std::string digits = prefixed ? token.substr(2) : token;
  for (char c : digits) {
    if (qzplatform::HexDigitValue(c) < 0) {
      error = Where(line, token) + " is not hex";
      return false;
    }
  }
  if (prefixed) {
    if (digits.empty() || digits.size() > 2) {
      error = Where(line, token) + " is not one byte (0x prefix takes 1 or 2 hex digits)";
      return false;
    }
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits, nullptr, 16)));
    return true;
  }
  if (digits.size() % 2 != 0) {
    error = Where(line, token) + " has an odd number of hex digits";
    return false;
  }
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(qzplatform::HexDigitValue(digits[i]) * 16 + qzplatform::HexDigitValue(digits[i + 1])));
  }
  return true;
}

DescriptorInput DecodeHex(const std::string& text) {
  DescriptorInput result;
  int line = 1;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\n') ++line;
    if (IsBlank(c) || c == ',') {
      ++i;
      continue;
    }
    if (StartsComment(text, i)) {
      while (i < text.size() && text[i] != '\n') ++i;
      continue;
    }
    std::size_t end = i;
    while (end < text.size() && !IsBlank(text[end]) && text[end] != ',') ++end;
    if (!DecodeToken(text.substr(i, end - i), line, result.bytes, result.error)) {
      result.bytes.clear();
      return result;
    }
    i = end;
  }
  if (result.bytes.empty()) result.error = "no descriptor bytes in the hex text";
  return result;
}

}  // namespace

DescriptorInput DecodeDescriptor(const std::string& content, InputFormat format) {
  DescriptorInput result;
  if (content.empty()) {
    result.error = "input is empty";
    return result;
  }
  if (format != InputFormat::kBinary) {
    const std::string text =
        HasByteOrderMark(content) ? content.substr(kByteOrderMark.size()) : content;
    if (format == InputFormat::kHex || IsText(text)) return DecodeHex(text);
  }
  result.bytes.assign(content.begin(), content.end());
  return result;
}

DescriptorInput ReadDescriptor(const std::string& path, InputFormat format) {
  DescriptorInput result;
  const bool from_stdin = path == "-";
  struct Closer {
    bool owned;
    void operator()(std::FILE* f) const {
      if (owned && f) std::fclose(f);
    }
  };
  std::unique_ptr<std::FILE, Closer> file(from_stdin ? stdin : std::fopen(path.c_str(), "rb"),
                                          Closer{!from_stdin});
  const std::string name = from_stdin ? "standard input" : path;
  if (!file) {
    result.error = "cannot open " + name + ": " + std::strerror(errno);
    return result;
  }
  std::string content;
  char buffer[65536];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
    content.append(buffer, n);
    if (content.size() > kMaxInputBytes) {
      result.error = name + " is larger than " + std::to_string(kMaxInputBytes >> 20) +
                     " MiB; that is no report descriptor";
      return result;
    }
  }
  if (std::ferror(file.get())) {
    result.error = "cannot read " + name + ": " + std::strerror(errno);
    return result;
  }
  result = DecodeDescriptor(content, format);
  if (!result.ok()) result.error = name + ": " + result.error;
  return result;
}

}  // namespace hidcaps
