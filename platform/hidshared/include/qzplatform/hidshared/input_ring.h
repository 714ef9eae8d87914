// The ring of unread input reports Windows' HID class driver keeps for each open handle:
// the newest reports up to its length (32 until HidD_SetNumInputBuffers changes it, to
// 2 to 512), the oldest lost when one more arrives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "qzplatform/win32.h"

namespace qzplatform::hidshared {

inline constexpr std::size_t kDefaultInputBuffers = 32;

// The lengths HidD_SetNumInputBuffers accepts.
bool ValidInputBufferCount(ULONG count);

// Not locked: the handle that owns it guards it with its own lock.
class InputRing {
 public:
  using Report = std::vector<std::uint8_t>;

  void Push(Report report);
  // A shorter ring drops the oldest reports beyond its new length.
  void SetLength(std::size_t length);
  std::size_t length() const { return length_; }
  bool empty() const { return reports_.empty(); }
  void Clear() { reports_.clear(); }
  // As on Windows, a read takes as many whole reports, oldest first, as its buffer of
  // `size` bytes holds, each `report_length` bytes long. Returns the bytes copied.
  DWORD TakeInto(std::uint8_t* buffer, DWORD size, DWORD report_length);

 private:
  std::deque<Report> reports_;
  std::size_t length_ = kDefaultInputBuffers;
};

// A ground's way to the ring behind a handle: runs `use` on it under the handle's lock.
// TRUE when `use` returned 0; else FALSE with the last error (also for a handle that is
// no device of the ground).
using InputRingUse = std::function<DWORD(InputRing&)>;
using InputRingAccess = BOOLEAN (*)(HANDLE handle, const InputRingUse& use);

// HidD_SetNumInputBuffers and HidD_GetNumInputBuffers over a ground's access.
BOOLEAN SetNumInputBuffers(InputRingAccess access, HANDLE handle, ULONG count);
BOOLEAN GetNumInputBuffers(InputRingAccess access, HANDLE handle, ULONG* count);

template <InputRingAccess Access>
BOOLEAN WINAPI HidD_SetNumInputBuffers(HANDLE HidDeviceObject, ULONG NumberBuffers) {
  return SetNumInputBuffers(Access, HidDeviceObject, NumberBuffers);
}
template <InputRingAccess Access>
BOOLEAN WINAPI HidD_GetNumInputBuffers(HANDLE HidDeviceObject, ULONG* NumberBuffers) {
  return GetNumInputBuffers(Access, HidDeviceObject, NumberBuffers);
}

}  // namespace qzplatform::hidshared
