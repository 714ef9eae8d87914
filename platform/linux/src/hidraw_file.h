// An open handle on one device interface (a top-level collection of a hidraw node):
// its own descriptor on the node, an eventfd that wakes its I/O thread, and the
// reads and writes waiting for that thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <span>
#include <thread>
#include <vector>

#include "qzplatform/hidshared/input_ring.h"
#include "qzplatform/hidshared/report_routing.h"
#include "sysfs_hid_device.h"

namespace qzplatform::linux_ground {

using Report = std::vector<std::uint8_t>;

// Room for one report read from a node, and its shape for one collection as Windows hands
// reports out: report ID byte first (0 for a device without report IDs, whose hidraw
// reports lack it), padded with zeros to the collection's input report length.
class ReportShaper {
 public:
  ReportShaper(const SysfsHidDevice& node, std::size_t collection);

  // Where the node's next report is read to, and how many bytes fit there.
  std::uint8_t* raw() { return buffer_.data() + 1; }
  std::size_t room() const { return buffer_.size() - 1; }
  // The report of `length` bytes at raw() in Windows' shape; empty when it belongs to
  // another collection of the node, or is empty.
  std::span<const std::uint8_t> Shape(std::size_t length);

 private:
  const SysfsHidDevice& node_;
  const hidparse::PreparsedData& collection_;
  const std::size_t length_;  // the collection's input report length
  std::vector<std::uint8_t> buffer_;
};

class HidrawFile : public FileObject,
                   public WaitSource,
                   public std::enable_shared_from_this<HidrawFile> {
 public:
  // `fd` is -1 for an open without access: it answers the identity queries from sysfs
  // and opens the node at its first report request.
  HidrawFile(std::shared_ptr<const SysfsHidDevice> node, std::size_t collection, int fd,
             hidshared::Access access, DWORD share, bool overlapped);
  ~HidrawFile() override;

  void StartRead(IoRequest request) override;
  void StartWrite(IoRequest request) override;
  void CancelAll() override;
  void OnClose() override;
  // A thread waiting for one of this handle's reads watches the node itself.
  void Serve(int wake, DWORD milliseconds) override;

  const SysfsHidDevice& node() const { return *node_; }
  const hidparse::PreparsedData& collection() const { return *node_->collections[collection_]; }
  std::size_t collection_index() const { return collection_; }
  hidshared::Access access() const { return access_; }
  DWORD share() const { return share_; }
  bool closed() const;

  // Runs an ioctl on the node's descriptor: 0, or the Win32 error it failed with
  // (ERROR_ACCESS_DENIED when the user may not open the node, ERROR_INVALID_HANDLE after
  // close).
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
  void WriteNext(std::unique_lock<std::mutex>& lock);
  // With mutex_ held: the node's next report for this collection, read without
  // blocking; empty when none is ready (or the node failed: gone_ is set then).
  std::span<const std::uint8_t> ReadReport();
  // With mutex_ held: takes every report the node has ready, each to the oldest waiting
  // read or, while no read waits, to the ring.
  // `for_reads_only`: only as many as the waiting reads take.
  void TakeReady(bool for_reads_only);
  // With mutex_ held: acts on what poll() said of the node.
  void OnNodeEvents(short revents, bool for_reads_only);
  void Disconnect(DWORD error);  // with mutex_ held
  DWORD OpenNode();  // opens the node of a handle without access; 0 or the Win32 error
  DWORD CheckStart(bool write, DWORD length) const;  // with mutex_ held

  const std::shared_ptr<const SysfsHidDevice> node_;
  const std::size_t collection_;
  const hidshared::Access access_;
  const DWORD share_;
  int fd_;
  int wake_fd_;
  std::shared_mutex fd_mutex_;  // ioctls share the descriptor; closing takes it alone
  mutable std::mutex mutex_;
  std::vector<IoRequest> reads_;  // oldest first; kept allocated, as reads come one by one
  std::deque<Pending> writes_;
  hidshared::InputRing queue_;
  ReportShaper shaper_;
  std::condition_variable write_done_;
  bool writing_ = false;  // a write is in the kernel and will complete its request
  std::thread thread_;
  bool closing_ = false;
  int servers_ = 0;                  // threads in Serve, polling the node for their read
  bool resting_ = false;             // the I/O thread polls neither node nor clock
  std::uint64_t started_ = 0;        // reads started
  unsigned node_empty_ = 0;          // reads since one found the node empty (0: it had a report)
  std::uint64_t started_at_look_ = 0;
  std::chrono::steady_clock::time_point reader_seen_;  // when a look last found a new read
  bool closed_ = false;
  DWORD gone_ = ERROR_SUCCESS;  // set once the device went away
};

}  // namespace qzplatform::linux_ground
