// The per-handle ring of unread input reports.
#include "qzplatform/hidshared/input_ring.h"

#include <algorithm>
#include <cstring>

namespace qzplatform::hidshared {

bool ValidInputBufferCount(ULONG count) { return count >= 2 && count <= 512; }

void InputRing::Push(const std::uint8_t* data, std::size_t size) {
  if (length_ == 0) return;
  if (count_ == length_) {  // the oldest is lost
    DropOldest();
  }
  Slot(count_).assign(data, data + size);
  ++count_;
}

void InputRing::SetLength(std::size_t length) {
  const std::size_t kept = std::min(count_, length);
  std::vector<Report> slots(length);
  // The newest `kept` reports move, oldest first, to the front of the new slots.
  for (std::size_t i = 0; i < kept; ++i) slots[i] = std::move(Slot(count_ - kept + i));
  slots_ = std::move(slots);
  oldest_ = 0;
  count_ = kept;
  length_ = length;
}

void InputRing::DropOldest() {
  if (++oldest_ == slots_.size()) oldest_ = 0;
  --count_;
}

DWORD InputRing::TakeInto(std::uint8_t* buffer, DWORD size, DWORD report_length) {
  DWORD copied = 0;
  while (count_ != 0 && report_length != 0 && size - copied >= report_length) {
    // Reports come shaped to the report length; a shorter one is padded with zeros.
    const Report& report = Slot(0);
    const std::size_t n = std::min<std::size_t>(report.size(), report_length);
    std::memcpy(buffer + copied, report.data(), n);
    std::memset(buffer + copied + n, 0, report_length - n);
    copied += report_length;
    DropOldest();
  }
  return copied;
}
// Any handle of the device may change its ring, as on Windows.
BOOLEAN SetNumInputBuffers(InputRingAccess access, HANDLE handle, ULONG count) {
  return access(handle, [count](InputRing& ring) -> DWORD {
    if (!ValidInputBufferCount(count)) return ERROR_INVALID_PARAMETER;
    ring.SetLength(count);
    return ERROR_SUCCESS;
  });
}

BOOLEAN GetNumInputBuffers(InputRingAccess access, HANDLE handle, ULONG* count) {
  return access(handle, [count](InputRing& ring) -> DWORD {
    if (!count) return ERROR_NOACCESS;
    *count = static_cast<ULONG>(ring.length());
    return ERROR_SUCCESS;
  });
}

}  // namespace qzplatform::hidshared
