// How the HidD_ string getters hand a device string to the caller.
#pragma once

#ifndef _WIN32

#include <string>

#include "qzplatform/win32.h"

namespace qzplatform::hidshared {

// USB string descriptors hold at most this many UTF-16 code units.
inline constexpr std::size_t kMaxHidString = 126;

// Copies `text` into a buffer of `length` bytes: what fits, and the terminator only when
// there is room for it. 0, or ERROR_INVALID_USER_BUFFER for a buffer without room for
// one character, ERROR_NOACCESS for a null buffer.
DWORD CopyHidString(const std::u16string& text, PVOID buffer, ULONG length);

}  // namespace qzplatform::hidshared

#endif  // !_WIN32
