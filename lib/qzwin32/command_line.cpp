// Quoting one argument of a Windows command line.
#include "qzwin32/qzwin32.h"

namespace qz {

bool QuoteArgument(const Text& argument, Text* quoted) {
  if (argument.find(u'\0') != Text::npos) return false;
  Text out = u"\"";
  std::size_t backslashes = 0;
  for (char16_t c : argument) {
    if (c == u'\\') {
      ++backslashes;
    } else {
      // Backslashes before a quote are doubled and the quote escaped; elsewhere they
      // are literal.
      if (c == u'"') out.append(backslashes + 1, u'\\');
      backslashes = 0;
    }
    out += c;
  }
  out.append(backslashes, u'\\');  // so that the closing quote stays a quote
  out += u'"';
  *quoted = std::move(out);
  return true;
}

}  // namespace qz
