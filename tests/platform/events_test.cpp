// Events: auto- and manual-reset, PulseEvent's release of current waiters only, waits
// with time-outs, and refused handles.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "qzplatform/ground.h"

namespace {

// Spins until `n` threads wait on the event (the pulse must find them waiting).
void PulseWhenWaiting(HANDLE event, std::atomic<int>& released, int expected) {
  while (released.load() < expected) {
    PulseEvent(event);
    std::this_thread::yield();
  }
}

TEST(Events, AutoResetReleasesOneWaitPerSignal) {
  HANDLE e = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
  SetEvent(e);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);  // the wait consumed the signal
  CloseHandle(e);
}

TEST(Events, ManualResetStaysSignalledUntilReset) {
  HANDLE e = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
  ResetEvent(e);
  EXPECT_EQ(WaitForSingleObject(e, 10), WAIT_TIMEOUT);
  CloseHandle(e);
}

TEST(Events, PulseWithoutWaitersIsLost) {
  HANDLE e = CreateEventW(nullptr, FALSE, TRUE, nullptr);
  PulseEvent(e);  // also leaves a signalled event non-signalled
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
  CloseHandle(e);
}

TEST(Events, PulseReleasesWaitersPresentAtThatMoment) {
  for (BOOL manual : {FALSE, TRUE}) {
    HANDLE e = CreateEventW(nullptr, manual, FALSE, nullptr);
    std::atomic<int> released{0};
    std::thread a([&] { EXPECT_EQ(WaitForSingleObject(e, INFINITE), WAIT_OBJECT_0); ++released; });
    std::thread b([&] { EXPECT_EQ(WaitForSingleObject(e, INFINITE), WAIT_OBJECT_0); ++released; });
    PulseWhenWaiting(e, released, 2);
    a.join();
    b.join();
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT) << "a pulse leaves the event reset";
    CloseHandle(e);
  }
}

TEST(Handles, ClosedOrForgedHandlesAreRefused) {
  HANDLE e = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  EXPECT_TRUE(CloseHandle(e));
  EXPECT_FALSE(CloseHandle(e));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(SetEvent(e));
  EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(0x12345), 0), WAIT_FAILED);
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
  char buffer[4];
  DWORD n = 0;
  EXPECT_FALSE(ReadFile(e, buffer, 4, &n, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(LastError, IsKeptPerThread) {
  SetLastError(5);
  std::thread([] {
    EXPECT_EQ(GetLastError(), 0u);
    SetLastError(32);
  }).join();
  EXPECT_EQ(GetLastError(), 5u);
}

}  // namespace
