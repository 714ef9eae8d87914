// Completion of one transfer into its OVERLAPPED record.
#include <atomic>

#include "qzplatform/ground.h"

namespace qzplatform {

IoRequest::IoRequest(void* buffer, DWORD length, OVERLAPPED* overlapped,
                     std::shared_ptr<EventObject> event)
    : buffer_(buffer), length_(length), overlapped_(overlapped), event_(std::move(event)) {}

IoRequest::IoRequest(IoRequest&& other) noexcept
    : buffer_(other.buffer_),
      length_(other.length_),
      overlapped_(other.overlapped_),
      event_(std::move(other.event_)),
      served_(other.served_) {
  other.overlapped_ = nullptr;
}

IoRequest& IoRequest::operator=(IoRequest&& other) noexcept {
  if (this != &other) {
    if (pending()) Complete(ERROR_OPERATION_ABORTED, 0);
    buffer_ = other.buffer_;
    length_ = other.length_;
    overlapped_ = other.overlapped_;
    event_ = std::move(other.event_);
    served_ = other.served_;
    other.overlapped_ = nullptr;
  }
  return *this;
}

IoRequest::~IoRequest() {
  if (pending()) Complete(ERROR_OPERATION_ABORTED, 0);
}

void IoRequest::Complete(DWORD error, DWORD bytes) {
  if (!overlapped_) return;
  // The waiter reads InternalHigh after it sees Internal leave the pending state.
  std::atomic_ref<ULONG_PTR>(overlapped_->InternalHigh).store(bytes, std::memory_order_relaxed);
  std::atomic_ref<ULONG_PTR>(overlapped_->Internal).store(error, std::memory_order_release);
  overlapped_ = nullptr;
  if (!event_) return;
  if (served_) event_->SetWaitSource({});
  event_->Set();
}

void IoRequest::ServedBy(std::weak_ptr<WaitSource> source) {
  if (!event_ || !overlapped_) return;
  event_->SetWaitSource(std::move(source));
  served_ = true;
}

DWORD FileObject::Seek(LONGLONG, DWORD, LONGLONG*) { return ERROR_INVALID_FUNCTION; }
DWORD FileObject::SetEnd() { return ERROR_INVALID_FUNCTION; }
DWORD FileObject::Size(ULONGLONG*) { return ERROR_INVALID_FUNCTION; }

}  // namespace qzplatform
