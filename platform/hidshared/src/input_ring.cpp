// The per-handle ring of unread input reports.
#include "qzplatform/hidshared/input_ring.h"

#include <algorithm>
#include <cstring>

namespace qzplatform::hidshared {

bool ValidInputBufferCount(ULONG count) { return count >= 2 && count <= 512; }

void InputRing::Push(Report report) {
  reports_.push_back(std::move(report));
  if (reports_.size() > length_) reports_.pop_front();  // the oldest is lost
}

void InputRing::SetLength(std::size_t length) {
  length_ = length;
  while (reports_.size() > length_) reports_.pop_front();
}

DWORD InputRing::TakeInto(std::uint8_t* buffer, DWORD size, DWORD report_length) {
  DWORD copied = 0;
  while (!reports_.empty() && report_length != 0 && size - copied >= report_length) {
    // Reports come shaped to the report length; a shorter one is padded with zeros.
    const Report& report = reports_.front();
    const std::size_t n = std::min<std::size_t>(report.size(), report_length);
    std::memcpy(buffer + copied, report.data(), n);
    std::memset(buffer + copied + n, 0, report_length - n);
    copied += report_length;
    reports_.pop_front();
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
