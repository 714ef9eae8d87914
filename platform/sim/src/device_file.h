// An open handle on a simulated HID device interface: access and share modes, its own
// input report queue and the reads waiting for input.
#pragma once

#include <deque>
#include <memory>
#include <mutex>

#include "machine_state.h"
#include "qzplatform/hidshared/input_ring.h"

namespace qzplatform::sim {

class DeviceFile : public FileObject {
 public:
  DeviceFile(std::weak_ptr<MachineState> machine, FileTarget target,
             std::shared_ptr<const hidparse::PreparsedData> data, AccessModes access, DWORD share,
             bool overlapped);

  void StartRead(IoRequest request) override;
  void StartWrite(IoRequest request) override;
  void CancelAll() override;
  void OnClose() override;

  const FileTarget& target() const { return target_; }
  AccessModes access() const { return access_; }
  DWORD share() const { return share_; }
  // The machine, or null once it is gone.
  std::shared_ptr<MachineState> machine() const { return machine_.lock(); }

  // Called by the machine with its lock held.
  void Deliver(const Report& report);
  // Reads find `count` copies of `report` behind the queue (StreamInput).
  void Stream(const Report& report, std::uint64_t count);
  void Disconnect();
  bool closed() const;
  // Runs `use` on the handle's ring of unread input reports, under the handle's lock.
  DWORD UseInputRing(const hidshared::InputRingUse& use);

 private:
  // Copies as many queued reports as fit into the request and completes it.
  void CompleteFromQueue(IoRequest& request);
  void CompleteFromStream(IoRequest& request);

  const std::weak_ptr<MachineState> machine_;
  const FileTarget target_;
  const std::shared_ptr<const hidparse::PreparsedData> data_;
  const AccessModes access_;
  const DWORD share_;
  mutable std::mutex mutex_;
  hidshared::InputRing queue_;
  std::deque<IoRequest> reads_;
  std::deque<IoRequest> held_writes_;  // Behaviour::hold_writes
  Report stream_;
  std::uint64_t stream_left_ = 0;
  bool disconnected_ = false;
  bool closed_ = false;
};

}  // namespace qzplatform::sim
