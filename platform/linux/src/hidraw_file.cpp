// Reads, writes and cancellation on a hidraw device interface. Each handle that
// transfers gets one I/O thread; it waits in poll() on the node and on an eventfd, so
// a new write, CancelIo or a close wakes it at once. A read finds a report that is
// already there itself; the thread completes the reads that wait and keeps the reports
// nobody waits for. Completion goes through IoRequest::Complete, which sets the
// OVERLAPPED record and its event as Windows does.
#include "hidraw_file.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "device_errors.h"

namespace qzplatform::linux_ground {
namespace {

// hidraw hands out reports of up to 16 KiB.
constexpr std::size_t kMaxReport = 16384;

// How long the I/O thread leaves the node to its reader before it looks back: the kernel
// keeps 64 reports per descriptor, 2 ms of 32,000 reports/s.
constexpr int kLookBackMs = 2;
// How long after its last read a reader still counts as at work: a reader that is held
// up for a moment keeps the kernel's 64 reports, as one reading the node directly does.
constexpr std::chrono::milliseconds kReaderPause{8};
// A reader that found the node empty tries it again at every so many reads.
constexpr unsigned kRetryEmptyNode = 8;

}  // namespace

ReportShaper::ReportShaper(const SysfsHidDevice& node, std::size_t collection)
    : node_(node),
      collection_(*node.collections.at(collection)),
      length_(hidshared::ReportLength(collection_, HidP_Input)),
      buffer_(std::max(kMaxReport, length_) + 1) {}

std::span<const std::uint8_t> ReportShaper::Shape(std::size_t length) {
  if (length == 0) return {};
  // Windows starts every report with its ID byte, 0 on a device without report IDs;
  // hidraw leaves the byte out on such devices.
  std::uint8_t* report = node_.numbered ? raw() : buffer_.data();
  if (!node_.numbered) report[0] = 0;
  const std::size_t size = node_.numbered ? length : length + 1;
  // A node with several collections delivers all of them; each handle keeps its own.
  if (!hidshared::Declares(collection_, HidP_Input, report[0])) return {};
  // Windows hands every read a report of the collection's full input length.
  if (size < length_) std::memset(report + size, 0, length_ - size);
  return {report, length_};
}

HidrawFile::HidrawFile(std::shared_ptr<const SysfsHidDevice> node, std::size_t collection, int fd,
                       hidshared::Access access, DWORD share, bool overlapped)
    : FileObject(overlapped),
      node_(std::move(node)),
      collection_(collection),
      access_(access),
      share_(share),
      fd_(fd),
      wake_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      shaper_(*node_, collection) {
  reads_.reserve(4);
}

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
  // From the first read on, the I/O thread keeps the newest reports nobody reads.
  EnsureThread();
  ++started_;
  if (reads_.empty()) {
    // A report already there completes the read at once: unread reports first, then
    // those waiting in the node, without a hop through the I/O thread.
    const DWORD size = hidshared::ReportLength(collection(), HidP_Input);
    if (!queue_.empty())
      return request.Complete(ERROR_SUCCESS, queue_.TakeInto(request.buffer(), request.length(), size));
    // A reader that found the node empty last time is mostly ahead of the device: it
    // tries again only now and then, and otherwise waits for the report to come.
    if (node_empty_ == 0 || ++node_empty_ % kRetryEmptyNode == 0) {
      const std::span<const std::uint8_t> report = ReadReport();
      if (!report.empty()) {
        node_empty_ = 0;
        std::memcpy(request.buffer(), report.data(), report.size());
        return request.Complete(ERROR_SUCCESS, static_cast<DWORD>(report.size()));
      }
      if (gone_ != ERROR_SUCCESS) return request.Complete(gone_, 0);
      node_empty_ = 1;
    }
  }
  // The I/O thread polls the node whenever the handle reads, so it needs no wake-up;
  // a thread that waits for the read polls the node too, and so gets the report first hand.
  request.ServedBy(weak_from_this());
  reads_.push_back(std::move(request));
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

std::span<const std::uint8_t> HidrawFile::ReadReport() {
  for (;;) {
    const ssize_t n = ::read(fd_, shaper_.raw(), shaper_.room());
    if (n > 0) {
      const std::span<const std::uint8_t> report = shaper_.Shape(static_cast<std::size_t>(n));
      if (!report.empty()) return report;
      continue;  // another collection's report
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return {};
    // hidraw never reads nothing: the node ended.
    Disconnect(n == 0 ? ERROR_DEVICE_NOT_CONNECTED : DeviceError(errno, false));
    return {};
  }
}

void HidrawFile::TakeReady(bool for_reads_only) {
  // The kernel keeps at most 64 reports per descriptor: taking that many and then
  // polling again lets waiting requests in.
  for (int taken = 0; taken < 64 && gone_ == ERROR_SUCCESS; ++taken) {
    if (for_reads_only && reads_.empty()) return;
    const std::span<const std::uint8_t> report = ReadReport();
    if (report.empty()) return;
    if (reads_.empty()) {
      queue_.Push(report.data(), report.size());
      continue;
    }
    IoRequest& read = reads_.front();
    std::memcpy(read.buffer(), report.data(), report.size());
    read.Complete(ERROR_SUCCESS, static_cast<DWORD>(report.size()));
    reads_.erase(reads_.begin());
  }
}

void HidrawFile::Disconnect(DWORD error) {
  gone_ = error;
  queue_.Clear();
  for (IoRequest& read : reads_) read.Complete(error, 0);
  reads_.clear();
  for (Pending& p : writes_) p.request.Complete(error, 0);
  writes_.clear();
}

void HidrawFile::Run() {
  std::unique_lock lock(mutex_);
  while (!closing_) {
    if (!writes_.empty() && gone_ == ERROR_SUCCESS) {
      WriteNext(lock);
      continue;
    }
    // Like Windows' ring, the handle keeps the newest reports nobody reads. While the
    // reader is at work (a thread waiting for a read polls the node itself, or reads come
    // so often that they take the reports from the node), this thread leaves the node to
    // it and looks back every few milliseconds; once no read started for a while, it
    // takes the node again, or, while a thread still waits, rests until that thread
    // wakes it.
    const bool want_input = access_.read && gone_ == ERROR_SUCCESS;
    const auto now = std::chrono::steady_clock::now();
    if (started_ != started_at_look_) reader_seen_ = now;
    started_at_look_ = started_;
    const bool reading = now - reader_seen_ < kReaderPause;
    const bool served = !reads_.empty() && servers_ > 0;
    const bool left = want_input && (served || (reads_.empty() && reading));
    const int timeout = left && reading ? kLookBackMs : -1;
    resting_ = left && timeout < 0;
    lock.unlock();
    pollfd fds[2] = {{wake_fd_, POLLIN, 0}, {want_input && !left ? fd_ : -1, POLLIN, 0}};
    const int ready = ::poll(fds, 2, timeout);
    const int poll_error = ready < 0 ? errno : 0;
    if (fds[0].revents & POLLIN) {
      std::uint64_t count;
      [[maybe_unused]] auto n = ::read(wake_fd_, &count, sizeof count);
    }
    lock.lock();
    resting_ = false;
    if (ready < 0) {
      if (poll_error != EINTR) Disconnect(ERROR_GEN_FAILURE);
    } else {
      OnNodeEvents(fds[1].revents, false);
    }
  }
}

void HidrawFile::WriteNext(std::unique_lock<std::mutex>& lock) {
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
}

void HidrawFile::OnNodeEvents(short revents, bool for_reads_only) {
  if (gone_ != ERROR_SUCCESS) return;
  if (revents & POLLIN) {
    TakeReady(for_reads_only);
  } else if (revents & (POLLHUP | POLLERR | POLLNVAL)) {
    // hidraw hangs up once the device is gone; Windows fails reads from then on.
    Disconnect(ERROR_DEVICE_NOT_CONNECTED);
  }
}

void HidrawFile::Serve(int wake, DWORD milliseconds) {
  // Held while polling, so that a close cannot end the descriptor under the poll; a
  // close first completes the reads, whose events wake this poll.
  std::shared_lock fd_lock(fd_mutex_);
  {
    std::lock_guard lock(mutex_);
    if (closed_ || closing_ || reads_.empty() || gone_ != ERROR_SUCCESS) return;
    ++servers_;
  }
  pollfd fds[2] = {{wake, POLLIN, 0}, {fd_, POLLIN, 0}};
  const int timeout =
      milliseconds == INFINITE ? -1 : static_cast<int>(std::min<DWORD>(milliseconds, INT_MAX));
  const int ready = ::poll(fds, 2, timeout);
  std::lock_guard lock(mutex_);
  --servers_;
  // The reports beyond the waiting reads are left to the I/O thread.
  if (ready > 0 && !closed_ && !closing_) OnNodeEvents(fds[1].revents, true);
  // A resting I/O thread takes the node back: no read waits now, or none is served.
  if (resting_ && (reads_.empty() || servers_ == 0)) {
    resting_ = false;
    Wake();
  }
}

void HidrawFile::CancelAll() {
  std::unique_lock lock(mutex_);
  // Completed under the lock: once this returns, no delivery writes a caller's buffer.
  for (IoRequest& read : reads_) read.Complete(ERROR_OPERATION_ABORTED, 0);
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

DWORD HidrawFile::OpenNode() {
  std::unique_lock fd_lock(fd_mutex_);
  std::lock_guard lock(mutex_);
  if (closed_ || closing_) return ERROR_INVALID_HANDLE;
  if (fd_ >= 0) return ERROR_SUCCESS;
  // hidraw's report ioctls need no more than read access.
  const int fd = ::open(node_->dev_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    // The node of an open handle can only be missing because its device went away.
    const DWORD error = OpenError(errno);
    return error == ERROR_FILE_NOT_FOUND ? ERROR_DEVICE_NOT_CONNECTED : error;
  }
  fd_ = fd;
  return ERROR_SUCCESS;
}

DWORD HidrawFile::Ioctl(unsigned long request, void* argument, int* result) {
  std::shared_lock fd_lock(fd_mutex_);
  {
    std::lock_guard lock(mutex_);
    if (closed_ || closing_) return ERROR_INVALID_HANDLE;
    if (gone_ != ERROR_SUCCESS) return gone_;
  }
  if (fd_ < 0) {
    // An open without access opens the node at its first request.
    fd_lock.unlock();
    if (const DWORD error = OpenNode(); error != ERROR_SUCCESS) return error;
    fd_lock.lock();
    if (fd_ < 0) return ERROR_INVALID_HANDLE;  // closed meanwhile
  }
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
