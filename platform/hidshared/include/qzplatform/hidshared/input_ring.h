// The ring of unread input reports Windows' HID class driver keeps for each open handle:
// the newest reports up to its length (32 until HidD_SetNumInputBuffers changes it, to
// 2 to 512), the oldest lost when one more arrives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "qzplatform/win32.h"

namespace qzplatform::hidshared {

inline constexpr std::size_t kDefaultInputBuffers = 32;

// The lengths HidD_SetNumInputBuffers accepts.
bool ValidInputBufferCount(ULONG count);

// Not locked: the handle that owns it guards it with its own lock. Its slots keep their
// storage, so a steady stream of reports allocates nothing once each slot has held one.
class InputRing {
 public:
  using Report = std::vector<std::uint8_t>;

  void Push(const std::uint8_t* data, std::size_t size);
  void Push(const Report& report) { Push(report.data(), report.size()); }
  // A shorter ring drops the oldest reports beyond its new length.
  void SetLength(std::size_t length);
  std::size_t length() const { return length_; }
  bool empty() const { return count_ == 0; }
  void Clear() { count_ = 0; }
  // As on Windows, a read takes as many whole reports, oldest first, as its buffer of
  // `size` bytes holds, each `report_length` bytes long. Returns the bytes copied.
  DWORD TakeInto(std::uint8_t* buffer, DWORD size, DWORD report_length);

 private:
  // The slot of the report `age` places after the oldest (age < slots_.size()).
  Report& Slot(std::size_t age) {
    const std::size_t i = oldest_ + age;
    return slots_[i < slots_.size() ? i : i - slots_.size()];
  }
  void DropOldest();

  std::vector<Report> slots_ = std::vector<Report>(kDefaultInputBuffers);
  std::size_t oldest_ = 0;  // the slot of the oldest unread report
  std::size_t count_ = 0;
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
