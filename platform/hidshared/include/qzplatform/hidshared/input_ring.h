// The ring of unread input reports Windows' HID class driver keeps for each open handle:
// the newest reports up to its length (32 until HidD_SetNumInputBuffers changes it, to
// 2 to 512), the oldest lost when one more arrives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
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

}  // namespace qzplatform::hidshared
