// Text type of the library (UTF-16) and its conversions to 8-bit forms.
#pragma once

#include <string>
#include <string_view>

namespace qz {

using Text = std::u16string;

// Removes every leading and trailing code unit whose value is 32 or below.
Text Trim(std::u16string_view text);

// The system's 8-bit ANSI code page (ISO 8859-1 off Windows), one byte per character;
// a character the code page cannot represent becomes '?'.
std::string TextToAnsi(std::u16string_view text);
Text AnsiToText(std::string_view text);

// UTF-8 <-> UTF-16; an invalid sequence (or a lone surrogate) becomes U+FFFD.
Text TextFromUtf8(std::string_view text);
std::string TextToUtf8(std::u16string_view text);

}  // namespace qz
