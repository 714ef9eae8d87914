// Events: auto- and manual-reset, PulseEvent's release of current waiters only, waits
// with time-outs, and refused handles.
#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
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

// A device that a waiting thread serves: a byte in its pipe completes the transfer, on
// the thread that serves it.
class PipeSource : public qzplatform::WaitSource {
 public:
  explicit PipeSource(qzplatform::EventObject& event) : event_(event) {
    EXPECT_EQ(::pipe(fds_), 0);
  }
  ~PipeSource() override {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  void Serve(int wake, DWORD milliseconds) override {
    ++served;
    pollfd p[2] = {{wake, POLLIN, 0}, {fds_[0], POLLIN, 0}};
    if (::poll(p, 2, milliseconds == INFINITE ? -1 : static_cast<int>(milliseconds)) <= 0) return;
    if (!(p[1].revents & POLLIN)) return;
    char byte;
    EXPECT_EQ(::read(fds_[0], &byte, 1), 1);
    completed_on = std::this_thread::get_id();
    event_.Set();
  }
  void Send() { EXPECT_EQ(::write(fds_[1], "x", 1), 1); }

  std::atomic<int> served{0};
  std::thread::id completed_on;

 private:
  qzplatform::EventObject& event_;
  int fds_[2];
};

TEST(Events, AWaitServesTheSourceOfItsTransferUntilSetPulsedOrTimedOut) {
  using namespace std::chrono_literals;
  qzplatform::EventObject event(false, false);
  auto source = std::make_shared<PipeSource>(event);
  event.SetWaitSource(source);

  std::thread device([&] {
    std::this_thread::sleep_for(20ms);
    source->Send();
  });
  EXPECT_EQ(event.Wait(INFINITE), WAIT_OBJECT_0);
  device.join();
  EXPECT_EQ(source->completed_on, std::this_thread::get_id()) << "served by the waiting thread";

  std::thread setter([&] {
    std::this_thread::sleep_for(20ms);
    event.Set();  // completed elsewhere: the serving wait is woken
  });
  EXPECT_EQ(event.Wait(5000), WAIT_OBJECT_0);
  setter.join();

  std::atomic<bool> pulsed{false};
  std::thread pulser([&] {
    while (!pulsed) {
      event.Pulse();
      std::this_thread::sleep_for(1ms);
    }
  });
  EXPECT_EQ(event.Wait(5000), WAIT_OBJECT_0);
  pulsed = true;
  pulser.join();

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(event.Wait(30), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);

  event.SetWaitSource({});  // the transfer ended: waits no longer serve it
  const int served = source->served;
  EXPECT_EQ(event.Wait(10), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(source->served, served);
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
