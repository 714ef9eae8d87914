// An open handle on one device interface (a top-level collection of a hidraw node):
// its own descriptor on the node, an eventfd that wakes its I/O thread, and the
// reads and writes waiting for that thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <thread>
#include <vector>

#include "qzplatform/hidshared/input_ring.h"
#include "qzplatform/hidshared/report_routing.h"
#include "sysfs_node.h"

namespace qzplatform::linux_ground {

using Report = std::vector<std::uint8_t>;

// A report read from the node in Windows' shape for `collection`: report ID byte first
// (0 for a device without report IDs, whose hidraw reports lack it), padded with zeros to
// the collection's input report length. None when the report belongs to another
// collection of the node, or is empty.
std::optional<Report> ShapeInputReport(const HidrawNode& node, std::size_t collection,
                                       const std::uint8_t* data, std::size_t length);

class HidrawFile : public FileObject {
 public:
  // `fd` may be -1: an open that asked for no access on a node the user may not read
  // still answers the identity queries, from sysfs.
  HidrawFile(std::shared_ptr<const HidrawNode> node, std::size_t collection, int fd,
             hidshared::Access access, DWORD share, bool overlapped);
  ~HidrawFile() override;

  void StartRead(IoRequest request) override;
  void StartWrite(IoRequest request) override;
  void CancelAll() override;
  void OnClose() override;

  const HidrawNode& node() const { return *node_; }
  const hidparse::PreparsedData& collection() const { return *node_->collections[collection_]; }
  std::size_t collection_index() const { return collection_; }
  hidshared::Access access() const { return access_; }
  DWORD share() const { return share_; }
  bool closed() const;

  // Runs an ioctl on the node's descriptor: 0, or the Win32 error it failed with
  // (ERROR_ACCESS_DENIED without a descriptor, ERROR_INVALID_HANDLE after close).
  // *result receives the ioctl's non-negative result.
  DWORD Ioctl(unsigned long request, void* argument, int* result = nullptr);
  // Writes one report at once, outside the I/O thread: 0 or the Win32 error.
  DWORD WriteNow(const std::uint8_t* data, std::size_t length);
  // 0 while the handle is open and its device is there; else the error a request gets.
  DWORD Alive();
  // Whether the device is still there (hidraw reports a hang-up once it is gone).
  bool Present();
  // Runs `use` on the handle's ring of unread input reports, under the handle's lock.
  DWORD UseInputRing(const hidshared::InputRingUse& use);

 private:
  struct Pending {
    IoRequest request;
    Report data;  // a write's bytes, copied so the caller's buffer is never read late
  };
  void EnsureThread();  // with mutex_ held
  void Wake();
  void Run();
  // With mutex_ held: hands queued reports to waiting reads.
  void ServeReads();
  void Disconnect(DWORD error);  // with mutex_ held
  DWORD CheckStart(bool write, DWORD length) const;  // with mutex_ held

  const std::shared_ptr<const HidrawNode> node_;
  const std::size_t collection_;
  const hidshared::Access access_;
  const DWORD share_;
  int fd_;
  int wake_fd_;
  std::shared_mutex fd_mutex_;  // ioctls share the descriptor; closing takes it alone
  mutable std::mutex mutex_;
  std::deque<Pending> reads_, writes_;
  hidshared::InputRing queue_;
  std::condition_variable write_done_;
  bool writing_ = false;  // a write is in the kernel and will complete its request
  std::thread thread_;
  bool closing_ = false;
  bool closed_ = false;
  DWORD gone_ = ERROR_SUCCESS;  // set once the device went away
};

}  // namespace qzplatform::linux_ground
