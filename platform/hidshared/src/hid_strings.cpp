// Copying device strings out as the HidD_ getters do.
#include "qzplatform/hidshared/hid_strings.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace qzplatform::hidshared {

DWORD CopyHidString(const std::u16string& text, PVOID buffer, ULONG length) {
  const std::size_t units = length / sizeof(WCHAR);
  if (units == 0) return ERROR_INVALID_USER_BUFFER;
  if (!buffer) return ERROR_NOACCESS;
  const std::size_t n = std::min(text.size(), units);
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::memcpy(out, text.data(), n * sizeof(WCHAR));
  if (n < units) std::memset(out + n * sizeof(WCHAR), 0, sizeof(WCHAR));
  return ERROR_SUCCESS;
}

}  // namespace qzplatform::hidshared
