// Mirroring entries into the VisualOut edit control, on and off the main thread.
#include <thread>

#include "log_test_support.h"
#include "qzclasses/headless_dispatcher.h"
#include "headless_edit.h"

namespace qztest {
namespace {

class VisualOutTest : public LogFileTest {
 protected:
  void SetUp() override {
    LogFileTest::SetUp();
    qz::Dispatcher::Install(&dispatcher_);
    edit_ = new qz::HeadlessEdit(nullptr);
    log_->SetVisualOut(edit_);
  }
  void TearDown() override {
    LogFileTest::TearDown();
    delete edit_;
    qz::Dispatcher::Install(nullptr);
  }
  void AddOnWorker(std::initializer_list<const char16_t*> texts) {
    std::thread worker([&] {
      for (const char16_t* text : texts) log_->Add(text);
    });
    worker.join();
  }
  std::string EditBytes() const { return qz::TextToAnsi(edit_->text); }

  qz::HeadlessDispatcher dispatcher_;
  qz::HeadlessEdit* edit_ = nullptr;
};

TEST_F(VisualOutTest, WorkerEntriesArePostedAndKeepTheirOrder) {
  log_->Add(u"m\t1");  // on the main thread: appended at once
  EXPECT_EQ(EditBytes(), Banner() + "\r\nm\\09h1");
  AddOnWorker({u"w1", u"w2"});
  EXPECT_EQ(EditBytes(), Banner() + "\r\nm\\09h1");  // not touched off the main thread
  log_->Add(u"m2");  // delivers the queued worker entries first
  AddOnWorker({u"w3"});
  dispatcher_.ProcessQueued();
  const std::string expected = Banner() + "\r\nm\\09h1\r\nw1\r\nw2\r\nm2\r\nw3";
  EXPECT_EQ(EditBytes(), expected);
  EXPECT_EQ(FileBytes(), expected);
  dispatcher_.ProcessQueued();
  EXPECT_EQ(EditBytes(), expected);
}

TEST_F(VisualOutTest, FailedUpdateOnMainThreadRaisesEmptyErrorAndKeepsTheEntry) {
  log_->Add(u"one");
  edit_->fail_next_update = true;
  bool raised = false;
  try {
    log_->Add(u"two");
  } catch (const qz::Error& error) {
    raised = true;
    EXPECT_EQ(error.Message(), u"");
  }
  EXPECT_TRUE(raised);
  // The safe-mode save did not run; the entry waits in Log for the next one.
  EXPECT_EQ(FileBytes(), Banner() + "\r\none");
  log_->Add(u"three");
  EXPECT_EQ(FileBytes(), Banner() + "\r\none\r\ntwo\r\nthree");
}

TEST_F(VisualOutTest, SuppressedUpdateFailureStillSavesTheEntry) {
  LogEvents events;
  events.Attach(*log_);
  log_->Add(u"one");
  edit_->fail_next_update = true;
  log_->Add(u"two");
  EXPECT_EQ(events.fatal_count, 1);
  EXPECT_EQ(events.fatal_message, u"");
  EXPECT_EQ(FileBytes(), Banner() + "\r\none\r\ntwo");
}

TEST_F(VisualOutTest, FailedPostedUpdateIsReportedOnTheMainThread) {
  LogEvents events;
  events.suppress_fatal = false;  // the raised error has no caller and must not escape
  events.Attach(*log_);
  edit_->fail_next_update = true;
  AddOnWorker({u"w1"});
  EXPECT_NO_THROW(dispatcher_.ProcessQueued());
  EXPECT_EQ(events.fatal_count, 1);
  EXPECT_EQ(FileBytes(), Banner() + "\r\nw1");
  AddOnWorker({u"w2"});
  dispatcher_.ProcessQueued();
  EXPECT_EQ(EditBytes(), "\r\nw2");
}

TEST_F(VisualOutTest, ControlGoingAwayClearsVisualOut) {
  AddOnWorker({u"w1"});  // a delivery is queued for the control
  delete edit_;
  edit_ = nullptr;
  EXPECT_EQ(log_->GetVisualOut(), nullptr);
  dispatcher_.ProcessQueued();
  log_->Add(u"m1");
  EXPECT_EQ(FileBytes(), Banner() + "\r\nw1\r\nm1");
}

TEST_F(VisualOutTest, SinkGoingAwayDropsQueuedDeliveries) {
  AddOnWorker({u"w1"});
  log_.reset();
  dispatcher_.ProcessQueued();
  EXPECT_EQ(edit_->text, u"");
}

TEST_F(VisualOutTest, WithoutDispatcherEveryThreadAppendsDirectly) {
  qz::Dispatcher::Install(nullptr);
  AddOnWorker({u"w1"});
  EXPECT_EQ(EditBytes(), Banner() + "\r\nw1");
}

}  // namespace
}  // namespace qztest
