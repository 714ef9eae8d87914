// Internals shared by the HID component's source files; not part of its interface.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "qzhid/hid.h"

namespace qz {

// What TqzHid keeps for itself beyond the fields of its interface.
struct TqzHidPrivate {
  // The preparsed data obtained at open belongs to the open, not to a record: a
  // discovery may free the record meanwhile. The record it was obtained for shows it
  // in fPpd while it stays in the list. The loop's own close runs on the I/O thread,
  // hence the lock.
  std::mutex openLock;
  PreparsedHandle openPreparsed = 0;
  TqzHidDevice* openDevice = nullptr;
  Text openPath;
  // A loop that reopened the device from its own thread and still has to end.
  std::shared_ptr<TqzThreadIO> retiredLoop;

  // SendData's copy of the bytes; fOvlAsync's manual-reset event is signalled
  // whenever no write of SendData is in progress.
  std::mutex asyncLock;
  std::vector<std::uint8_t> asyncData;

  // The receive log line's format, prefix included, made at open so the loop logs a
  // report without allocating.
  Text receiveFormat;
};

namespace hid_internal {

// OVERLAPPED::Internal while a transfer runs (STATUS_PENDING on Windows, and off it).
constexpr ULONG_PTR kStatusPending = 0x103;

inline bool Pending(OVERLAPPED& ov) {
  return std::atomic_ref<ULONG_PTR>(ov.Internal).load(std::memory_order_acquire) ==
         kStatusPending;
}

// The receive log line, after the component's prefix.
constexpr const char16_t* kReceiveFormat = u"Do input data [%u] bytes ";

// True while this thread is inside `hid`'s DoReceive. On the main thread that means the
// monitoring loop is blocked handing a report over to it.
bool DeliveringHere(const TqzHid* hid);

}  // namespace hid_internal
}  // namespace qz
