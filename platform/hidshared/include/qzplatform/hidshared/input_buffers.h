// The ring of input reports Windows' HID class driver keeps for each open handle: its
// length until HidD_SetNumInputBuffers changes it, and the lengths that call accepts.
#pragma once

#include <cstddef>

#include "qzplatform/win32.h"

namespace qzplatform::hidshared {

inline constexpr std::size_t kDefaultInputBuffers = 32;
inline constexpr ULONG kMinInputBuffers = 2;
inline constexpr ULONG kMaxInputBuffers = 512;

inline bool ValidInputBufferCount(ULONG count) {
  return count >= kMinInputBuffers && count <= kMaxInputBuffers;
}

}  // namespace qzplatform::hidshared
