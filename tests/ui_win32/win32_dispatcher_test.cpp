// The main-thread dispatcher on a Win32 message loop: coalesced wake-ups, hand-offs from
// workers while the loop runs, errors of posted calls and ticks, timers, and clean-up.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "qzclasses/errors.h"
#include "ui/win32/win32_dispatcher.h"
#include "win32_pump.h"

namespace {

using qz::Text;

class Win32DispatcherTest : public ::testing::Test {
 protected:
  Win32DispatcherTest() {
    qz::Dispatcher::Install(&dispatcher);
    dispatcher.SetErrorHandler([this](std::exception_ptr e) { errors.push_back(qz::ErrorMessage(e)); });
  }
  ~Win32DispatcherTest() override {
    w32test::PumpFor(20);
    qz::Dispatcher::Install(nullptr);
  }

  // Dispatches what waits for the dispatcher's window; returns how many messages that was.
  int DispatchWindowMessages() {
    int count = 0;
    MSG msg;
    while (PeekMessageW(&msg, dispatcher.Window(), 0, 0, PM_REMOVE)) {
      ++count;
      DispatchMessageW(&msg);
    }
    return count;
  }

  qzui::Win32Dispatcher dispatcher;
  std::vector<Text> errors;
};

TEST_F(Win32DispatcherTest, ManyHandOffsWakeTheLoopOnceAndRunInOrder) {
  std::vector<int> order;
  std::thread([&] {
    for (int i = 0; i < 50; ++i) dispatcher.Post([&order, i] { order.push_back(i); });
  }).join();
  EXPECT_TRUE(order.empty());  // nothing runs before the loop dispatches
  EXPECT_EQ(DispatchWindowMessages(), 1);
  ASSERT_EQ(order.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(order[i], i);

  // Once drained, the next hand-off wakes the loop again.
  std::thread([&] { dispatcher.Post([&order] { order.push_back(50); }); }).join();
  EXPECT_EQ(DispatchWindowMessages(), 1);
  EXPECT_EQ(order.size(), 51u);
}

TEST_F(Win32DispatcherTest, AWorkersSynchronizeCompletesWhileTheMainThreadRunsGetMessage) {
  const DWORD main_thread = GetCurrentThreadId();
  std::vector<int> order;
  bool ran_on_main = false;
  std::thread worker([&] {
    dispatcher.Post([&] { order.push_back(1); });
    dispatcher.Synchronize([&] {
      ran_on_main = dispatcher.IsMainThread() && GetCurrentThreadId() == main_thread;
      order.push_back(2);
    });
    PostThreadMessageW(main_thread, WM_QUIT, 0, 0);
  });
  // A thread timer ends the loop should the hand-off never complete.
  const UINT_PTR guard = ::SetTimer(nullptr, 0, 5000, nullptr);
  bool timed_out = false;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER && msg.hwnd == nullptr && msg.wParam == guard) {
      timed_out = true;
      break;
    }
    DispatchMessageW(&msg);
  }
  ::KillTimer(nullptr, guard);
  if (timed_out) dispatcher.ProcessQueued();  // let the worker go before failing
  worker.join();
  ASSERT_FALSE(timed_out);
  EXPECT_TRUE(ran_on_main);
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST_F(Win32DispatcherTest, AFailingPostedCallIsReportedAndTheRestStillRuns) {
  std::vector<int> ran;
  std::thread([&] {
    dispatcher.Post([&] { ran.push_back(1); });
    dispatcher.Post([] { throw qz::Error(u"posted call failed"); });
    dispatcher.Post([&] { ran.push_back(3); });
    dispatcher.Post([] { throw 7; });
  }).join();
  ASSERT_TRUE(w32test::PumpUntil([&] { return errors.size() == 2; }));
  EXPECT_EQ(ran, (std::vector<int>{1, 3}));
  EXPECT_EQ(errors, (std::vector<Text>{u"posted call failed", u"Unknown error"}));
}

TEST_F(Win32DispatcherTest, TimersTickUntilKilledAlsoFromTheirOwnTickAndErrorsAreReported) {
  int ticks = 0;
  int other_ticks = 0;
  qz::TimerId id = 0;
  id = dispatcher.SetTimer(1, [&] {
    if (++ticks == 3) dispatcher.KillTimer(id);
    throw std::runtime_error("tick failed");
  });
  const qz::TimerId other = dispatcher.SetTimer(10, [&] { ++other_ticks; });
  ASSERT_NE(id, 0u);
  ASSERT_NE(other, id);
  ASSERT_TRUE(w32test::PumpUntil([&] { return ticks == 3; }));
  w32test::PumpFor(60);
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(errors, std::vector<Text>(3, u"tick failed"));
  EXPECT_GT(other_ticks, 0);  // the other timer goes on
  EXPECT_EQ(dispatcher.TimerCount(), 1u);
  dispatcher.KillTimer(other);
  dispatcher.KillTimer(id);  // killing twice does nothing
  const int seen = other_ticks;
  w32test::PumpFor(40);
  EXPECT_EQ(other_ticks, seen);
  EXPECT_EQ(dispatcher.TimerCount(), 0u);
}

TEST_F(Win32DispatcherTest, ADestroyedDispatcherLeavesNoWindowAndNoTicks) {
  HWND window = nullptr;
  int ticks = 0;
  {
    qzui::Win32Dispatcher other;
    window = other.Window();
    ASSERT_TRUE(IsWindow(window));
    ASSERT_NE(other.SetTimer(10, [&] { ++ticks; }), 0u);
  }
  EXPECT_FALSE(IsWindow(window));
  w32test::PumpFor(50);
  EXPECT_EQ(ticks, 0);
}

}  // namespace
