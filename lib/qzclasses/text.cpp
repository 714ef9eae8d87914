// Text conversions to and from 8-bit text, through the platform's code-page calls.
#include "qzclasses/text.h"

#include <climits>

#include "qzclasses/errors.h"
#include "qzplatform/win32.h"

namespace qz {

namespace {

bool IsBlank(char16_t c) { return c <= 32; }

int CheckedLength(std::size_t size) {
  if (size > static_cast<std::size_t>(INT_MAX)) throw Error(u"Text is too long to convert");
  return static_cast<int>(size);
}

std::string FromText(UINT codePage, std::u16string_view text) {
  if (text.empty()) return {};
  const int length = CheckedLength(text.size());
  const auto source = reinterpret_cast<LPCWSTR>(text.data());
  const int needed = WideCharToMultiByte(codePage, 0, source, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(needed > 0 ? needed : 0), '\0');
  const int written =
      needed > 0 ? WideCharToMultiByte(codePage, 0, source, length, out.data(), needed, nullptr, nullptr)
                 : 0;
  if (written <= 0) throw Error(u"Text cannot be converted to 8-bit text");
  out.resize(static_cast<std::size_t>(written));
  return out;
}

Text ToText(UINT codePage, std::string_view text) {
  if (text.empty()) return {};
  const int length = CheckedLength(text.size());
  const int needed = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
  Text out(static_cast<std::size_t>(needed > 0 ? needed : 0), u'\0');
  const int written = needed > 0 ? MultiByteToWideChar(codePage, 0, text.data(), length,
                                                       qzplatform::AsWide(out.data()), needed)
                                 : 0;
  if (written <= 0) throw Error(u"8-bit text cannot be converted");
  out.resize(static_cast<std::size_t>(written));
  return out;
}

}  // namespace

Text Trim(std::u16string_view text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return Text(text.substr(first, last - first));
}

std::string TextToAnsi(std::u16string_view text) { return FromText(CP_ACP, text); }
Text AnsiToText(std::string_view text) { return ToText(CP_ACP, text); }
std::string TextToUtf8(std::u16string_view text) { return FromText(CP_UTF8, text); }
Text TextFromUtf8(std::string_view text) { return ToText(CP_UTF8, text); }

}  // namespace qz
