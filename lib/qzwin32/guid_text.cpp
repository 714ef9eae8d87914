// A GUID in registry form.
#include "qzwin32/qzwin32.h"

namespace qz {
namespace {

void AppendHex(Text& out, unsigned long value, int digits) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += kDigits[(value >> shift) & 0xF];
}

}  // namespace

Text GuidToText(const GUID& guid) {
  Text text;
  text.reserve(38);
  text += u'{';
  AppendHex(text, guid.Data1, 8);
  text += u'-';
  AppendHex(text, guid.Data2, 4);
  text += u'-';
  AppendHex(text, guid.Data3, 4);
  text += u'-';
  for (int i = 0; i < 8; ++i) {
    if (i == 2) text += u'-';
    AppendHex(text, guid.Data4[i], 2);
  }
  text += u'}';
  return text;
}

}  // namespace qz
