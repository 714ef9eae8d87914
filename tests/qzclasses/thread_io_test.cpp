// The I/O thread: self-release, stopping, and hand-offs while the main thread waits.
#include "qzclasses/thread_io.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "fake_io.h"
#include "qzclasses/headless_dispatcher.h"
#include "qzplatform/com.h"

namespace qz {
namespace {

using test::EventCounter;
using test::FakeIO;

class ThreadIOTest : public ::testing::Test {
 protected:
  void SetUp() override { Dispatcher::Install(&d); }
  void TearDown() override { Dispatcher::Install(nullptr); }

  // Pumps until cond holds; false after about two seconds.
  bool PumpUntil(const std::function<bool()>& cond) {
    for (int i = 0; i < 400 && !cond(); ++i) d.PumpFor(std::chrono::milliseconds(5));
    return cond();
  }

  HeadlessDispatcher d;
};

TEST_F(ThreadIOTest, ThreadThatReturnsAtOnceReleasesItself) {
  FakeIO io(nullptr);
  std::atomic<TqzThreadIO*> seen{nullptr};
  io.body = [&](TqzThreadIO* t) { seen = TqzThreadIO::Current() == t ? t : nullptr; };
  std::weak_ptr<TqzThreadIO> weak = TqzThreadIO::Create(&io, tpHigher);
  // Nobody holds the thread now but the thread itself.
  EXPECT_TRUE(PumpUntil([&] { return weak.expired(); }));
  EXPECT_NE(seen.load(), nullptr);
}

TEST_F(ThreadIOTest, ErrorInTheBodyEndsTheThreadQuietly) {
  FakeIO io(nullptr);
  io.body = [](TqzThreadIO*) { throw Error(u"read loop failed"); };
  auto thread = TqzThreadIO::Create(&io, tpNormal);
  thread->WaitFor();
  EXPECT_TRUE(thread->Finished());
  EXPECT_EQ(thread->GetPriority(), tpNormal);
}

TEST_F(ThreadIOTest, BodyRunsWithCOMInitialised) {
  FakeIO io(nullptr);
  std::atomic<HRESULT> again{-1};
  io.body = [&](TqzThreadIO*) {
    // S_FALSE: the thread's apartment already exists.
    again = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(again.load())) CoUninitialize();
  };
  auto thread = TqzThreadIO::Create(&io, tpNormal);
  thread->WaitFor();
  EXPECT_EQ(again.load(), S_FALSE);
}

TEST_F(ThreadIOTest, CloseWaitsAndServesAHandOffMadeDuringTheWait) {
  FakeIO io(nullptr);
  io.threaded = true;
  std::atomic<bool> looping{false};
  bool handOffOnMain = false;
  io.body = [&](TqzThreadIO* t) {
    looping = true;
    while (!io.IsThreadIOTerminated) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // A receive handed to the main thread just as the close waits for this thread.
    t->Synchronize([&] { handOffOnMain = Dispatcher::Main().IsMainThread(); });
  };
  io.SetActive(true);
  ASSERT_TRUE(io.GetActive());
  ASSERT_TRUE(PumpUntil([&] { return looping.load(); }));
  io.SetActive(false);  // would never return if the wait did not run the hand-off
  EXPECT_TRUE(handOffOnMain);
  EXPECT_FALSE(io.GetActive());
  EXPECT_EQ(io.closes, 1);
}

TEST_F(ThreadIOTest, CloseFromTheIOThreadItselfDoesNotWaitForItself) {
  FakeIO io(nullptr);
  EventCounter events;
  io.SetOnClose(TNotifyEvent::Bind<&EventCounter::OnClose>(&events));
  io.threaded = true;
  std::atomic<bool> onWorker{false};
  io.body = [&](TqzThreadIO* t) {
    io.DoClose();  // as a loop does when its read fails
    onWorker = t->IsCurrentThread() && events.closed == 1;
  };
  io.SetActive(true);
  ASSERT_TRUE(PumpUntil([&] { return onWorker.load(); }));
  EXPECT_FALSE(io.GetActive());
  EXPECT_EQ(io.closes, 1);
}

TEST_F(ThreadIOTest, ReopenWaitsUntilThePreviousLoopHasEnded) {
  FakeIO io(nullptr);
  io.threaded = true;
  std::atomic<int> running{0};
  std::atomic<int> maxRunning{0};
  std::atomic<int> loops{0};
  io.body = [&](TqzThreadIO*) {
    maxRunning = std::max(maxRunning.load(), ++running);
    ++loops;
    while (!io.IsThreadIOTerminated) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));  // slow to wind down
    --running;
  };
  io.SetActive(true);
  ASSERT_TRUE(PumpUntil([&] { return loops == 1; }));
  // A close that sets the stop flag itself returns without waiting, as the HID close does.
  io.IsThreadIOTerminated = true;
  io.SetActive(false);
  io.SetActive(true);
  ASSERT_TRUE(PumpUntil([&] { return loops == 2; }));
  EXPECT_EQ(maxRunning, 1);
  io.SetActive(false);
}

// Keeps everything its loop touches in the base, so only the base's destructor stops it.
class LoopIO : public TqzBaseIO {
 public:
  using TqzBaseIO::TqzBaseIO;
  HANDLE OpenDevice() override {
    isThreaded = true;
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(0x55));
  }
  void CloseDevice(HANDLE) override {}
  void ThreadIOExecute(TqzThreadIO*) override {
    running = true;
    while (!IsThreadIOTerminated) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    exited = true;
  }
  static inline std::atomic<bool> running{false};
  static inline std::atomic<bool> exited{false};
};

TEST_F(ThreadIOTest, DestroyingAnOpenComponentStopsItsThreadFirst) {
  LoopIO::running = false;
  LoopIO::exited = false;
  {
    LoopIO io(nullptr);
    io.SetActive(true);
    ASSERT_TRUE(PumpUntil([] { return LoopIO::running.load(); }));
  }
  EXPECT_TRUE(LoopIO::exited);
}

}  // namespace
}  // namespace qz
