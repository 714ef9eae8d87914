// Reads, writes and cancellation on a simulated HID device handle.
#include "device_file.h"

#include <cstring>

namespace qzplatform::sim {

DeviceFile::DeviceFile(std::weak_ptr<MachineState> machine, FileTarget target,
                       std::shared_ptr<const hidparse::PreparsedData> data, AccessModes access,
                       DWORD share, bool overlapped)
    : FileObject(overlapped),
      machine_(std::move(machine)),
      target_(target),
      data_(std::move(data)),
      access_(access),
      share_(share) {}

void DeviceFile::StartRead(IoRequest request) {
  const DWORD length = data_->caps.InputReportByteLength;
  std::lock_guard lock(mutex_);
  DWORD error = ERROR_SUCCESS;
  if (closed_)
    error = ERROR_INVALID_HANDLE;
  else if (!access_.read)
    error = ERROR_ACCESS_DENIED;
  else if (disconnected_)
    error = ERROR_DEVICE_NOT_CONNECTED;
  else if (length == 0)
    error = ERROR_INVALID_FUNCTION;  // the collection has no input report
  else if (request.length() < length)
    error = ERROR_INVALID_USER_BUFFER;  // Windows wants room for a whole report
  else if (!request.buffer())
    error = ERROR_NOACCESS;
  if (error != ERROR_SUCCESS) return request.Complete(error, 0);
  if (!queue_.empty()) return CompleteFromQueue(request);
  if (stream_left_ != 0) return CompleteFromStream(request);
  reads_.push_back(std::move(request));
}

void DeviceFile::CompleteFromQueue(IoRequest& request) {
  request.Complete(ERROR_SUCCESS, queue_.TakeInto(request.buffer(), request.length(),
                                                  data_->caps.InputReportByteLength));
}

void DeviceFile::CompleteFromStream(IoRequest& request) {
  const DWORD length = data_->caps.InputReportByteLength;
  DWORD copied = 0;
  while (stream_left_ != 0 && request.length() - copied >= length) {
    std::memcpy(request.buffer() + copied, stream_.data(), length);
    copied += length;
    --stream_left_;
  }
  request.Complete(ERROR_SUCCESS, copied);
}

void DeviceFile::Stream(const Report& report, std::uint64_t count) {
  std::lock_guard lock(mutex_);
  if (closed_ || disconnected_ || !access_.read) return;
  stream_ = report;
  stream_left_ = count;
  while (stream_left_ != 0 && queue_.empty() && !reads_.empty()) {
    CompleteFromStream(reads_.front());
    reads_.pop_front();
  }
}

void DeviceFile::StartWrite(IoRequest request) {
  DWORD error = ERROR_SUCCESS;
  {
    std::lock_guard lock(mutex_);
    if (closed_)
      error = ERROR_INVALID_HANDLE;
    else if (!access_.write)
      error = ERROR_ACCESS_DENIED;
    else if (disconnected_)
      error = ERROR_DEVICE_NOT_CONNECTED;
  }
  if (error == ERROR_SUCCESS) {
    // The machine lock comes before a file's lock, so this one is not held here:
    // an echo may deliver to this very handle.
    auto machine = machine_.lock();
    error = machine
                ? machine->SetReport(target_, HidP_Output, request.buffer(), request.length(), true)
                : ERROR_DEVICE_NOT_CONNECTED;
  }
  if (error == ERROR_IO_PENDING) {
    std::lock_guard lock(mutex_);
    if (!closed_) return held_writes_.push_back(std::move(request));
    error = ERROR_OPERATION_ABORTED;
  }
  request.Complete(error, error == ERROR_SUCCESS ? request.length() : 0);
}

void DeviceFile::CancelAll() {
  std::lock_guard lock(mutex_);
  // Completing under the lock: once this returns, no delivery writes a buffer.
  for (IoRequest& read : reads_) read.Complete(ERROR_OPERATION_ABORTED, 0);
  reads_.clear();
  for (IoRequest& write : held_writes_) write.Complete(ERROR_OPERATION_ABORTED, 0);
  held_writes_.clear();
}

void DeviceFile::OnClose() {
  if (auto machine = machine_.lock()) machine->Detach(target_, this);
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    queue_.Clear();
    stream_left_ = 0;
  }
  CancelAll();
}

void DeviceFile::Deliver(const Report& report) {
  std::lock_guard lock(mutex_);
  if (closed_ || disconnected_ || !access_.read) return;
  if (!reads_.empty()) {
    IoRequest& read = reads_.front();
    std::memcpy(read.buffer(), report.data(), report.size());
    read.Complete(ERROR_SUCCESS, static_cast<DWORD>(report.size()));
    reads_.pop_front();
    return;
  }
  queue_.Push(report);
}

void DeviceFile::Disconnect() {
  std::lock_guard lock(mutex_);
  disconnected_ = true;
  queue_.Clear();
  stream_left_ = 0;
  for (IoRequest& read : reads_) read.Complete(ERROR_DEVICE_NOT_CONNECTED, 0);
  reads_.clear();
}

DWORD DeviceFile::UseInputRing(const hidshared::InputRingUse& use) {
  std::lock_guard lock(mutex_);
  return use(queue_);
}

bool DeviceFile::closed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

}  // namespace qzplatform::sim
