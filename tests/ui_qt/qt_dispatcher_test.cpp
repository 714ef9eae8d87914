// The main-thread dispatcher on Qt's event loop: hand-offs from workers, order, errors of
// posted calls, the main thread's wait for a worker, and timers.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "qt_pump.h"
#include "qzclasses/errors.h"
#include "qzclasses/timer.h"
#include "ui/qt/qt_dispatcher.h"

namespace {

class QtDispatcherTest : public ::testing::Test {
 protected:
  QtDispatcherTest() {
    qz::Dispatcher::Install(&dispatcher);
    dispatcher.SetErrorHandler([this](std::exception_ptr e) {
      try {
        std::rethrow_exception(e);
      } catch (const std::exception& x) {
        errors.push_back(x.what());
      }
    });
  }
  ~QtDispatcherTest() override {
    QCoreApplication::processEvents();
    qz::Dispatcher::Install(nullptr);
  }

  qzui::QtDispatcher dispatcher;
  std::vector<std::string> errors;
};

TEST_F(QtDispatcherTest, WorkerCallsRunOnTheMainThreadInOrder) {
  std::vector<int> order;
  std::atomic<bool> synchronized{false};
  std::thread worker([&] {
    for (int i = 0; i < 50; ++i) dispatcher.Post([&order, i] { order.push_back(i); });
    dispatcher.Synchronize([&] {
      EXPECT_TRUE(dispatcher.IsMainThread());
      order.push_back(50);
    });
    synchronized = true;
  });
  ASSERT_TRUE(qttest::PumpUntil([&] { return synchronized.load(); }));
  worker.join();
  ASSERT_EQ(order.size(), 51u);
  for (int i = 0; i <= 50; ++i) EXPECT_EQ(order[i], i);
}

TEST_F(QtDispatcherTest, AFailingPostedCallIsReportedAndTheRestStillRuns) {
  std::vector<int> ran;
  std::thread([&] {
    dispatcher.Post([&] { ran.push_back(1); });
    dispatcher.Post([] { throw qz::Error(u"posted call failed"); });
    dispatcher.Post([&] { ran.push_back(3); });
  }).join();
  ASSERT_TRUE(qttest::PumpUntil([&] { return ran.size() == 2; }));
  EXPECT_EQ(ran, (std::vector<int>{1, 3}));
  EXPECT_EQ(errors, (std::vector<std::string>{"posted call failed"}));
}

TEST_F(QtDispatcherTest, ASynchronizingWorkerFinishesWhileTheMainThreadWaitsForIt) {
  std::atomic<bool> done{false};
  int value = 0;
  std::thread worker([&] {
    dispatcher.Synchronize([&] { value = 42; });
    done = true;
  });
  // No event loop runs here: the wait itself drains the queue.
  dispatcher.WaitUntil([&] { return done.load(); });
  worker.join();
  EXPECT_EQ(value, 42);
}

TEST_F(QtDispatcherTest, TimersTickUntilKilledAlsoFromTheirOwnTickAndErrorsAreReported) {
  int ticks = 0;
  qz::TimerId id = 0;
  id = dispatcher.SetTimer(1, [&] {
    if (++ticks == 3) dispatcher.KillTimer(id);
    throw std::runtime_error("tick failed");
  });
  ASSERT_NE(id, 0u);
  ASSERT_TRUE(qttest::PumpUntil([&] { return ticks == 3; }));
  qttest::PumpFor(60);
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(errors, std::vector<std::string>(3, "tick failed"));
  EXPECT_EQ(dispatcher.TimerCount(), 0u);
  dispatcher.KillTimer(id);  // killing twice does nothing
}

struct TickCounter {
  void OnTimer(qz::TqzTimer*) { ++ticks; }
  int ticks = 0;
};

TEST_F(QtDispatcherTest, TheLibrarysTimerTicksOnQtsLoop) {
  TickCounter counter;
  qz::TqzTimer timer;
  timer.SetInterval(10);
  timer.SetOnTimer(qz::TqzTimerEvent::Bind<&TickCounter::OnTimer>(&counter));
  ASSERT_TRUE(qttest::PumpUntil([&] { return counter.ticks >= 2; }));
  timer.SetEnabled(false);
  const int seen = counter.ticks;
  qttest::PumpFor(40);
  EXPECT_EQ(counter.ticks, seen);
}

}  // namespace
