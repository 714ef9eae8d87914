// The timer's arming rules, on the headless dispatcher's virtual clock.
#include "qzclasses/timer.h"

#include <gtest/gtest.h>

#include "qzclasses/errors.h"
#include "qzclasses/headless_dispatcher.h"

namespace qz {
namespace {

struct Ticks {
  int count = 0;
  TqzTimer* sender = nullptr;
  void On(TqzTimer* t) {
    ++count;
    sender = t;
  }
  void Fail(TqzTimer*) {
    ++count;
    throw Error(u"tick failed");
  }
};

class TimerTest : public ::testing::Test {
 protected:
  void SetUp() override { Dispatcher::Install(&d); }
  void TearDown() override { Dispatcher::Install(nullptr); }
  TqzTimerEvent On() { return TqzTimerEvent::Bind<&Ticks::On>(&ticks); }

  HeadlessDispatcher d;
  Ticks ticks;
};

TEST_F(TimerTest, DefaultsAndFirstTickAfterOneInterval) {
  TqzTimer t;
  EXPECT_TRUE(t.GetEnabled());
  EXPECT_EQ(t.GetInterval(), 1000u);
  t.SetEnabled(false);
  t.SetEnabled(true);
  EXPECT_EQ(d.TimerCount(), 0u);  // no handler, nothing armed
  t.SetOnTimer(On());
  d.Advance(999);
  EXPECT_EQ(ticks.count, 0);
  d.Advance(1);
  EXPECT_EQ(ticks.count, 1);
  EXPECT_EQ(ticks.sender, &t);
}

TEST_F(TimerTest, IntervalZeroStopsAndSettingItBackRearms) {
  TqzTimer t;
  t.SetInterval(100);
  t.SetOnTimer(On());
  d.Advance(250);
  EXPECT_EQ(ticks.count, 2);
  t.SetInterval(0);
  d.Advance(1000);
  EXPECT_EQ(ticks.count, 2);
  t.SetInterval(100);
  d.Advance(100);
  EXPECT_EQ(ticks.count, 3);
}

TEST_F(TimerTest, SameIntervalKeepsThePeriodButAssigningTheHandlerRestartsIt) {
  TqzTimer t;
  t.SetInterval(100);
  t.SetOnTimer(On());
  d.Advance(60);
  t.SetInterval(100);
  d.Advance(40);
  EXPECT_EQ(ticks.count, 1);  // still due at 100
  d.Advance(60);
  t.SetOnTimer(On());  // same handler, restarts from here (160)
  d.Advance(40);
  EXPECT_EQ(ticks.count, 1);
  d.Advance(60);
  EXPECT_EQ(ticks.count, 2);  // at 260
}

TEST_F(TimerTest, DisablingStopsTicksAndDestructionDisarms) {
  {
    TqzTimer t;
    t.SetInterval(50);
    t.SetOnTimer(On());
    d.Advance(50);
    t.SetEnabled(false);
    d.Advance(500);
    EXPECT_EQ(ticks.count, 1);
    t.SetEnabled(true);
    EXPECT_EQ(d.TimerCount(), 1u);
  }
  EXPECT_EQ(d.TimerCount(), 0u);
}

TEST_F(TimerTest, FailingHandlerIsDroppedAndTheTimerKeepsRunning) {
  TqzTimer t;
  t.SetInterval(100);
  t.SetOnTimer(TqzTimerEvent::Bind<&Ticks::Fail>(&ticks));
  EXPECT_NO_THROW(d.Advance(300));
  EXPECT_EQ(ticks.count, 3);
}

}  // namespace
}  // namespace qz
