// A GUID in registry form.
#include "qzwin32/qzwin32.h"

#include "qzplatform/ascii_text.h"

namespace qz {

using qzplatform::AppendHex;

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
