// Reading text out of the fixed and variable buffers the device-installation
// interface fills. Internal to qzwin32di.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "qzclasses/text.h"
#include "qzplatform/setupapi.h"

namespace qz::wide {

// At most `count` characters of `chars`, up to the first NUL.
inline Text TextOf(const WCHAR* chars, std::size_t count) {
  std::size_t n = 0;
  while (n < count && chars[n] != 0) ++n;
  return Text(reinterpret_cast<const char16_t*>(chars), n);
}

// A zero-filled interface detail record of at least `bytes` bytes (never smaller than
// the record itself), its size field set as the system expects.
class InterfaceDetail {
 public:
  explicit InterfaceDetail(DWORD bytes)
      : words_((std::max<std::size_t>(bytes, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) +
                sizeof(DWORD) - 1) /
                   sizeof(DWORD),
               0) {
    get()->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
  }
  SP_DEVICE_INTERFACE_DETAIL_DATA_W* get() {
    return reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(words_.data());
  }
  DWORD size() const { return static_cast<DWORD>(words_.size() * sizeof(DWORD)); }
  // The device path, up to its NUL or the end of the block.
  Text Path() const {
    constexpr std::size_t offset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
    const std::size_t count = (size() - offset) / sizeof(WCHAR);
    Text path(count, u'\0');
    std::memcpy(path.data(), reinterpret_cast<const char*>(words_.data()) + offset,
                count * sizeof(WCHAR));
    const std::size_t nul = path.find(u'\0');
    if (nul != Text::npos) path.resize(nul);
    return path;
  }

 private:
  std::vector<DWORD> words_;
};

}  // namespace qz::wide
