// Reads, writes and cancellation on a hidraw device interface. Each handle that
// transfers gets one I/O thread; it waits in poll() on the node and on an eventfd, so
// a new request, CancelIo or a close wakes it at once. Completion goes through
// IoRequest::Complete, which sets the OVERLAPPED record and its event as Windows does.
#include "hidraw_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "device_errors.h"

namespace qzplatform::linux_ground {
namespace {

// hidraw hands out reports of up to 16 KiB.
constexpr std::size_t kMaxReport = 16384;

}  // namespace

std::optional<Report> ShapeInputReport(const HidrawNode& node, std::size_t collection,
                                       const std::uint8_t* data, std::size_t length) {
  if (length == 0 || collection >= node.collections.size()) return std::nullopt;
  const hidparse::PreparsedData& c = *node.collections[collection];
  Report report;
  // Windows starts every report with its ID byte, 0 on a device without report IDs;
  // hidraw leaves the byte out on such devices.
  if (!node.numbered) report.push_back(0);
  report.insert(report.end(), data, data + length);
  // A node with several collections delivers all of them; each handle keeps its own.
  if (!hidshared::Declares(c, HidP_Input, report[0])) return std::nullopt;
  // Windows hands every read a report of the collection's full input length.
  report.resize(hidshared::ReportLength(c, HidP_Input), 0);
  return report;
}

HidrawFile::HidrawFile(std::shared_ptr<const HidrawNode> node, std::size_t collection, int fd,
                       hidshared::Access access, DWORD share, bool overlapped)
    : FileObject(overlapped),
      node_(std::move(node)),
      collection_(collection),
      access_(access),
      share_(share),
      fd_(fd),
      wake_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

HidrawFile::~HidrawFile() {
  OnClose();
  if (wake_fd_ >= 0) ::close(wake_fd_);
}

DWORD HidrawFile::UseInputRing(const hidshared::InputRingUse& use) {
  std::lock_guard lock(mutex_);
  return use(queue_);
}

bool HidrawFile::closed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

void HidrawFile::Wake() {
  const std::uint64_t one = 1;
  if (wake_fd_ >= 0) [[maybe_unused]] auto n = ::write(wake_fd_, &one, sizeof one);
}

void HidrawFile::EnsureThread() {
  if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

DWORD HidrawFile::CheckStart(bool write, DWORD length) const {
  const USHORT size = hidshared::ReportLength(collection(), write ? HidP_Output : HidP_Input);
  if (closed_ || closing_) return ERROR_INVALID_HANDLE;
  if (write ? !access_.write : !access_.read) return ERROR_ACCESS_DENIED;
  if (gone_ != ERROR_SUCCESS) return gone_;
  if (fd_ < 0 || wake_fd_ < 0) return ERROR_INVALID_HANDLE;
  if (size == 0) return ERROR_INVALID_FUNCTION;  // the collection has no such report
  // Windows wants room for a whole input report, and exactly one output report.
  if (!write && length < size) return ERROR_INVALID_USER_BUFFER;
  if (write && length != size) return ERROR_INVALID_PARAMETER;
  return ERROR_SUCCESS;
}

void HidrawFile::StartRead(IoRequest request) {
  std::lock_guard lock(mutex_);
  DWORD error = CheckStart(false, request.length());
  if (error == ERROR_SUCCESS && !request.buffer()) error = ERROR_NOACCESS;
  if (error != ERROR_SUCCESS) return request.Complete(error, 0);
  reads_.push_back({std::move(request), {}});
  ServeReads();
  if (reads_.empty()) return;
  EnsureThread();
  Wake();
}

void HidrawFile::StartWrite(IoRequest request) {
  std::lock_guard lock(mutex_);
  DWORD error = CheckStart(true, request.length());
  if (error == ERROR_SUCCESS && !request.buffer()) error = ERROR_NOACCESS;
  // The report ID must be one this collection sends, as Windows routes writes by it.
  if (error == ERROR_SUCCESS && !hidshared::Declares(collection(), HidP_Output, request.buffer()[0]))
    error = ERROR_INVALID_PARAMETER;
  if (error != ERROR_SUCCESS) return request.Complete(error, 0);
  Report data(request.buffer(), request.buffer() + request.length());
  writes_.push_back({std::move(request), std::move(data)});
  EnsureThread();
  Wake();
}

void HidrawFile::ServeReads() {
  const DWORD size = hidshared::ReportLength(collection(), HidP_Input);
  while (!reads_.empty() && !queue_.empty()) {
    IoRequest& read = reads_.front().request;
    read.Complete(ERROR_SUCCESS, queue_.TakeInto(read.buffer(), read.length(), size));
    reads_.pop_front();
  }
}

void HidrawFile::Disconnect(DWORD error) {
  gone_ = error;
  queue_.Clear();
  for (Pending& p : reads_) p.request.Complete(error, 0);
  reads_.clear();
  for (Pending& p : writes_) p.request.Complete(error, 0);
  writes_.clear();
}

void HidrawFile::Run() {
  std::vector<std::uint8_t> buffer(kMaxReport);
  std::unique_lock lock(mutex_);
  while (!closing_) {
    if (!writes_.empty() && gone_ == ERROR_SUCCESS) {
      Pending write = std::move(writes_.front());
      writes_.pop_front();
      writing_ = true;
      lock.unlock();
      // hidraw wants the report ID byte first, 0 on a device without IDs: Windows' shape.
      ssize_t n;
      do n = ::write(fd_, write.data.data(), write.data.size());
      while (n < 0 && errno == EINTR);
      const int e = n < 0 ? errno : 0;
      const DWORD error = n < 0 ? DeviceError(e, Present()) : ERROR_SUCCESS;
      lock.lock();
      writing_ = false;
      write.request.Complete(error, n < 0 ? 0 : static_cast<DWORD>(n));
      write_done_.notify_all();
      if (error == ERROR_DEVICE_NOT_CONNECTED) Disconnect(error);
      continue;
    }
    // Like Windows' ring, the handle takes every report as it arrives, whether or not a
    // read waits, and keeps the newest of them.
    const bool want_input = access_.read && gone_ == ERROR_SUCCESS;
    lock.unlock();
    pollfd fds[2] = {{wake_fd_, POLLIN, 0}, {want_input ? fd_ : -1, POLLIN, 0}};
    int ready = ::poll(fds, 2, -1);
    if (ready < 0 && errno != EINTR) {
      lock.lock();
      Disconnect(ERROR_GEN_FAILURE);
      continue;
    }
    if (fds[0].revents & POLLIN) {
      std::uint64_t count;
      [[maybe_unused]] auto n = ::read(wake_fd_, &count, sizeof count);
    }
    DWORD lost = ERROR_SUCCESS;
    std::optional<Report> report;
    if (fds[1].revents & POLLIN) {
      ssize_t n = ::read(fd_, buffer.data(), buffer.size());
      if (n > 0)
        report = ShapeInputReport(*node_, collection_, buffer.data(), static_cast<std::size_t>(n));
      else if (n == 0)
        lost = ERROR_DEVICE_NOT_CONNECTED;  // hidraw never reads nothing; the node ended
      else if (errno != EAGAIN && errno != EINTR)
        lost = DeviceError(errno, false);
    } else if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      // hidraw hangs up once the device is gone; Windows fails reads from then on.
      lost = ERROR_DEVICE_NOT_CONNECTED;
    }
    lock.lock();
    if (lost != ERROR_SUCCESS) Disconnect(lost);
    if (report) {
      queue_.Push(std::move(*report));
      ServeReads();
    }
  }
}

void HidrawFile::CancelAll() {
  std::unique_lock lock(mutex_);
  // Completed under the lock: once this returns, no delivery writes a caller's buffer.
  for (Pending& p : reads_) p.request.Complete(ERROR_OPERATION_ABORTED, 0);
  reads_.clear();
  for (Pending& p : writes_) p.request.Complete(ERROR_OPERATION_ABORTED, 0);
  writes_.clear();
  // A write already in the kernel cannot be called back; its completion is waited for.
  write_done_.wait(lock, [this] { return !writing_; });
}

void HidrawFile::OnClose() {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    closing_ = true;
  }
  Wake();
  if (thread_.joinable()) thread_.join();
  CancelAll();
  {
    std::unique_lock fd_lock(fd_mutex_);
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  std::lock_guard lock(mutex_);
  closed_ = true;
  queue_.Clear();
}

DWORD HidrawFile::Ioctl(unsigned long request, void* argument, int* result) {
  std::shared_lock fd_lock(fd_mutex_);
  {
    std::lock_guard lock(mutex_);
    if (closed_ || closing_) return ERROR_INVALID_HANDLE;
    if (gone_ != ERROR_SUCCESS) return gone_;
  }
  if (fd_ < 0) return ERROR_ACCESS_DENIED;
  int r;
  do r = ::ioctl(fd_, request, argument);
  while (r < 0 && errno == EINTR);
  if (r < 0) {
    const int e = errno;
    return DeviceError(e, e == EIO ? Present() : true);
  }
  if (result) *result = r;
  return ERROR_SUCCESS;
}

DWORD HidrawFile::WriteNow(const std::uint8_t* data, std::size_t length) {
  std::shared_lock fd_lock(fd_mutex_);
  {
    std::lock_guard lock(mutex_);
    if (closed_ || closing_) return ERROR_INVALID_HANDLE;
    if (gone_ != ERROR_SUCCESS) return gone_;
  }
  if (fd_ < 0) return ERROR_ACCESS_DENIED;
  ssize_t n;
  do n = ::write(fd_, data, length);
  while (n < 0 && errno == EINTR);
  if (n < 0) {
    const int e = errno;
    return DeviceError(e, Present());
  }
  return ERROR_SUCCESS;
}

DWORD HidrawFile::Alive() {
  std::shared_lock fd_lock(fd_mutex_);
  {
    std::lock_guard lock(mutex_);
    if (closed_ || closing_) return ERROR_INVALID_HANDLE;
    if (gone_ != ERROR_SUCCESS) return gone_;
  }
  if (fd_ >= 0) return Present() ? ERROR_SUCCESS : ERROR_DEVICE_NOT_CONNECTED;
  // Without a descriptor, the node's sysfs entry tells whether the device is there.
  return ::access(node_->class_dir.c_str(), F_OK) == 0 ? ERROR_SUCCESS
                                                        : ERROR_DEVICE_NOT_CONNECTED;
}

bool HidrawFile::Present() {
  if (fd_ < 0) return true;
  pollfd p{fd_, 0, 0};
  return ::poll(&p, 1, 0) <= 0 || !(p.revents & (POLLHUP | POLLERR));
}

}  // namespace qzplatform::linux_ground
