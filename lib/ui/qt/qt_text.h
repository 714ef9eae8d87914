// Conversions between the library's UTF-16 texts and QString (both UTF-16, so lossless).
#pragma once

#include <QString>

#include "qzclasses/text.h"

namespace qzui {

inline QString ToQString(const qz::Text& text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline qz::Text FromQString(const QString& text) {
  return qz::Text(reinterpret_cast<const char16_t*>(text.utf16()),
                  static_cast<std::size_t>(text.size()));
}

}  // namespace qzui
