// UTF-8 at the POSIX boundary, and the 8-bit "ANSI" code page, which off Windows is
// ISO 8859-1: one byte per UTF-16 code unit, '?' for a unit it cannot hold.
#include "qzplatform/ground.h"

namespace qzplatform {

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone surrogate
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

namespace {

// Decodes one UTF-8 sequence at text[i]: U+FFFD, one byte on, for an invalid,
// overlong or surrogate sequence.
char32_t DecodeUtf8(std::string_view text, std::size_t& i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) {
    ++i;
    return lead;
  }
  std::size_t extra = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, cp = lead & 0x1F, min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, cp = lead & 0x0F, min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, cp = lead & 0x07, min = 0x10000;
  } else {
    ++i;
    return 0xFFFD;
  }
  for (std::size_t k = 1; k <= extra; ++k) {
    if (i + k >= text.size() || (byte(i + k) & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return 0xFFFD;
  }
  i += extra + 1;
  return cp;
}

}  // namespace

std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t c = DecodeUtf8(text, i);
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

}  // namespace qzplatform

UINT WINAPI GetACP() { return 28591; }  // ISO 8859-1

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                               BOOL* lpUsedDefaultChar) {
  if (!lpWideCharStr || cbMultiByte < 0 || (cbMultiByte > 0 && !lpMultiByteStr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string_view in =
      cchWideChar < 0 ? std::u16string_view(qzplatform::AsChar16(lpWideCharStr))
                      : std::u16string_view(qzplatform::AsChar16(lpWideCharStr), cchWideChar);
  std::string out;
  if (CodePage == CP_UTF8) {
    out = qzplatform::ToUtf8(in);
  } else {
    const char fallback = lpDefaultChar ? *lpDefaultChar : '?';
    bool used = false;
    out.reserve(in.size());
    for (char16_t c : in) {
      if (c <= 0xFF) {
        out += static_cast<char>(c);
      } else {
        out += fallback;
        used = true;
      }
    }
    if (lpUsedDefaultChar) *lpUsedDefaultChar = used;
  }
  if (cchWideChar < 0) out += '\0';  // a NUL-terminated input counts its terminator
  if (cbMultiByte == 0) return static_cast<int>(out.size());
  if (out.size() > static_cast<std::size_t>(cbMultiByte)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(out.begin(), out.end(), lpMultiByteStr);
  return static_cast<int>(out.size());
}

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
  if (!lpMultiByteStr || cchWideChar < 0 || (cchWideChar > 0 && !lpWideCharStr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string_view in = cbMultiByte < 0 ? std::string_view(lpMultiByteStr)
                                        : std::string_view(lpMultiByteStr, cbMultiByte);
  std::u16string out;
  if (CodePage == CP_UTF8) {
    out = qzplatform::FromUtf8(in);
  } else {
    out.reserve(in.size());
    for (char c : in) out += static_cast<char16_t>(static_cast<unsigned char>(c));
  }
  if (cbMultiByte < 0) out += u'\0';
  if (cchWideChar == 0) return static_cast<int>(out.size());
  if (out.size() > static_cast<std::size_t>(cchWideChar)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(out.begin(), out.end(), lpWideCharStr);
  return static_cast<int>(out.size());
}
