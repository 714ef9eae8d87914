// Entry-point names of the wide-character variants and the joining of string lists.
#include "qzsysutils/qzsysutils.h"

namespace qz {

std::string WideEntryName(std::string_view name) {
  std::string wide(name);
  if (!wide.empty()) wide.back() = 'W';
  return wide;
}

Text MultiSzToText(const WCHAR* buffer, std::size_t length, const Text& separator) {
  Text text;
  if (!buffer || length < 2) return text;
  bool separate = false;
  // The last unit is the list's terminator and is not read.
  for (std::size_t i = 0; i + 1 < length; ++i) {
    const char16_t c = static_cast<char16_t>(buffer[i]);
    if (c != u'\0') {
      if (separate) text += separator;
      separate = false;
      text += c;
    } else if (i == 0 || buffer[i - 1] == 0) {
      break;  // an empty string ends the list; what follows is unused buffer
    } else {
      separate = true;
    }
  }
  return text;
}

}  // namespace qz
