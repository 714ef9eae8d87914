// The main-thread dispatcher: hand-offs, waits and the headless timers.
#include "qzclasses/headless_dispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "qzclasses/console_dispatcher.h"
#include "qzclasses/errors.h"
#include "qzclasses/timer.h"

namespace qz {
namespace {

class DispatcherTest : public ::testing::Test {
 protected:
  void SetUp() override { Dispatcher::Install(&d); }
  void TearDown() override { Dispatcher::Install(nullptr); }
  HeadlessDispatcher d;
};

TEST_F(DispatcherTest, SynchronizeOnTheMainThreadRunsAtOnce) {
  int ran = 0;
  d.Synchronize([&] { ++ran; });
  EXPECT_EQ(ran, 1);
  EXPECT_TRUE(d.IsMainThread());
  EXPECT_EQ(&Dispatcher::Main(), &d);
}

TEST_F(DispatcherTest, WorkerSynchronizeRunsOnMainWhileMainWaits) {
  std::atomic<bool> done{false};
  bool ranOnMain = false;
  std::thread worker([&] {
    d.Synchronize([&] { ranOnMain = d.IsMainThread(); });
    done = true;
  });
  d.WaitUntil([&] { return done.load(); });
  worker.join();
  EXPECT_TRUE(ranOnMain);
}

TEST_F(DispatcherTest, ErrorOfAHandOffIsRethrownInTheWorker) {
  std::atomic<bool> done{false};
  Text caught;
  std::thread worker([&] {
    try {
      d.Synchronize([] { throw Error(u"boom"); });
    } catch (const Error& e) {
      caught = e.Message();
    }
    done = true;
  });
  d.WaitUntil([&] { return done.load(); });
  worker.join();
  EXPECT_EQ(caught, u"boom");
}

TEST_F(DispatcherTest, PostedAndSynchronizedCallsRunInOrder) {
  std::vector<int> order;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    d.Post([&] { order.push_back(1); });
    d.Synchronize([&] { order.push_back(2); });
    d.Post([&] { order.push_back(3); });
    done = true;
  });
  d.WaitUntil([&] { return done.load(); });
  worker.join();
  d.ProcessQueued();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST_F(DispatcherTest, FailingPostedCallDoesNotCutAWaitShort) {
  std::atomic<bool> done{false};
  bool later = false;
  std::thread worker([&] {
    d.Post([] { throw Error(u"posted failed"); });
    d.Synchronize([&] { later = true; });
    done = true;
  });
  EXPECT_THROW(d.WaitUntil([&] { return done.load(); }), Error);
  worker.join();
  EXPECT_TRUE(later);
}

TEST_F(DispatcherTest, TimersFireInDueOrderOnTheVirtualClock) {
  std::vector<std::pair<char, std::uint64_t>> ticks;
  d.SetTimer(30, [&] { ticks.push_back({'a', d.Now()}); });
  d.SetTimer(20, [&] { ticks.push_back({'b', d.Now()}); });
  d.Advance(65);
  EXPECT_EQ(ticks, (std::vector<std::pair<char, std::uint64_t>>{
                       {'b', 20}, {'a', 30}, {'b', 40}, {'a', 60}, {'b', 60}}));
  EXPECT_EQ(d.Now(), 65u);
}

TEST_F(DispatcherTest, TimerKilledInItsOwnTickStops) {
  int ticks = 0;
  TimerId id = 0;
  id = d.SetTimer(10, [&] {
    ++ticks;
    d.KillTimer(id);
  });
  d.Advance(100);
  EXPECT_EQ(ticks, 1);
  EXPECT_FALSE(d.HasTimer(id));
}

TEST_F(DispatcherTest, ShortIntervalsAreRaisedToTheMinimum) {
  int ticks = 0;
  d.SetTimer(0, [&] { ++ticks; });
  d.Advance(HeadlessDispatcher::kMinimumInterval * 3);
  EXPECT_EQ(ticks, 3);
}

TEST(DispatcherInstallTest, MainWithoutDispatcherThrows) {
  Dispatcher::Install(nullptr);
  EXPECT_FALSE(Dispatcher::IsInstalled());
  EXPECT_THROW(Dispatcher::Main(), Error);
}

TEST(DispatcherInstallTest, MissingDispatcherErrorNamesTheConsoleDispatcher) {
  Dispatcher::Install(nullptr);
  try {
    TqzTimer timer;
    FAIL() << "a timer was made without a dispatcher";
  } catch (const Error& e) {
    EXPECT_NE(e.Message().find(u"No main-thread dispatcher is installed"), Text::npos);
    EXPECT_NE(e.Message().find(u"qz::ConsoleDispatcher"), Text::npos);
  }
}

struct ConsoleTickCounter {
  void OnTimer(TqzTimer*) { ++ticks; }
  int ticks = 0;
};

// A console program: one declaration installs the dispatcher; while the main thread runs
// it, a worker's hand-off completes and a timer ticks in real time.
TEST(ConsoleDispatcherTest, OneDeclarationInstallsAndRunsHandOffsAndTimers) {
  using namespace std::chrono_literals;
  {
    ConsoleDispatcher d;
    ASSERT_EQ(&Dispatcher::Main(), &d);
    std::atomic<bool> handed{false};
    std::thread worker([&] { Dispatcher::Main().Synchronize([&] { handed = d.IsMainThread(); }); });
    ConsoleTickCounter counter;
    TqzTimer timer;
    timer.SetInterval(20);
    const auto start = std::chrono::steady_clock::now();
    timer.SetOnTimer(TqzTimerEvent::Bind<&ConsoleTickCounter::OnTimer>(&counter));
    EXPECT_TRUE(d.RunUntil([&] { return handed && counter.ticks >= 3; }, 5s));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 60ms);
    worker.join();
    EXPECT_FALSE(d.RunUntil([] { return false; }, 0ms));
  }
  EXPECT_FALSE(Dispatcher::IsInstalled());
}

// With no timer and no hand-off, a condition another thread makes true is still seen.
TEST(ConsoleDispatcherTest, RunUntilSeesAConditionSetWithoutHandOff) {
  using namespace std::chrono_literals;
  ConsoleDispatcher d;
  std::atomic<bool> done{false};
  std::thread setter([&] {
    std::this_thread::sleep_for(20ms);
    done = true;
  });
  const auto asked = std::chrono::steady_clock::now();
  EXPECT_TRUE(d.RunUntil([&] { return done.load(); }, 10s));
  EXPECT_LT(std::chrono::steady_clock::now() - asked, 5s);
  setter.join();
}

}  // namespace
}  // namespace qz
