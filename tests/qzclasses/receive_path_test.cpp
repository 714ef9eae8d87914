// The receive path: order of the receivers, skipping the terminal, and the hand-off of a
// block to the main thread.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "receive_doubles.h"

namespace qz {
namespace {

using namespace test;

class ReceivePathTest : public ::testing::Test {
 protected:
  void SetUp() override { io = Make<SendingIO>(); }

  template <typename IO>
  IO* Make() {
    auto* c = new IO(&owner);
    c->sLogPrefix = u"io: ";
    c->SetLog(log);
    after.trail = &trail;
    c->SetOnAfterReceive(TOnReceived::Bind<&AfterReceive::On>(&after));
    return c;
  }
  bool PumpUntil(const std::function<bool()>& cond) {
    for (int i = 0; i < 400 && !cond(); ++i) d.PumpFor(std::chrono::milliseconds(5));
    return cond();
  }

  InstalledDispatcher d;
  Component owner{nullptr};
  RecordingLog* log = new RecordingLog(&owner);
  SendingIO* io = nullptr;
  Trail trail;
  AfterReceive after;
};

TEST_F(ReceivePathTest, ProcessorChainThenTerminalThenHandlerAndOnlyTheTerminalIsSkipped) {
  auto* p1 = new TrailProcessor(&owner, &trail, "p1");
  auto* p2 = new TrailProcessor(&owner, &trail, "p2");
  io->SetDataProcessor(p1);
  p1->SetDataProcessor(p2);
  auto* edit = new TrailEdit(&owner, &trail);
  io->SetTerminal(edit);
  io->SetTerminalUsage(tuReceive);

  EXPECT_FALSE(io->Receive("hi"));
  EXPECT_EQ(trail, (Trail{"p1:hi", "p2:hi", "terminal:text", "after"}));
  EXPECT_EQ(log->lines, (std::vector<Text>{u"2:io: Input data length: 2"}));

  // The last of the chain asks to skip; of the stages it names only the terminal is.
  p2->add = IgnoreBit(itTerminal) | IgnoreBit(itAfterReceive);
  trail.clear();
  io->Receive("ab");
  EXPECT_EQ(trail, (Trail{"p1:ab", "p2:ab", "after"}));
  p2->add = 0;  // the set starts empty for every block
  io->Receive("cd");
  EXPECT_EQ(edit->text, u"hicd");
}

TEST_F(ReceivePathTest, ReceiversAndBadBlocks) {
  io->SetOnAfterReceive(TOnReceived());
  EXPECT_FALSE(io->HasReceivers());
  io->Receive("xyz");  // logged only
  EXPECT_EQ(log->lines.size(), 1u);
  io->SetTerminal(new TrailEdit(&owner, nullptr));
  EXPECT_TRUE(io->HasReceivers());
  io->SetTerminal(nullptr);
  io->SetDataProcessor(new TrailProcessor(&owner, nullptr, "p"));
  EXPECT_TRUE(io->HasReceivers());

  io->SetOnAfterReceive(TOnReceived::Bind<&AfterReceive::On>(&after));
  EXPECT_THROW(io->DoReceive(nullptr, 3), Error);
  EXPECT_TRUE(after.blocks.empty());
  io->DoReceive(nullptr, 0);  // an empty block is still a block
  EXPECT_EQ(after.blocks, (std::vector<std::string>{""}));
  io->SetOnAfterReceive(TOnReceived::Bind<&AfterReceive::Throw>(&after));
  EXPECT_THROW(io->Receive("a"), Error);
}

TEST_F(ReceivePathTest, WithoutUseMainThreadReceiversRunOnTheIOThread) {
  auto* edit = new TrailEdit(&owner, nullptr);
  io->SetTerminal(edit);
  io->SetTerminalUsage(tuReceive);
  io->threaded = true;
  std::atomic<bool> done{false};
  io->body = [&](TqzThreadIO*) { done = !io->Receive("ok"); };
  io->SetActive(true);
  ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
  EXPECT_FALSE(after.on_main);
  EXPECT_TRUE(edit->always_on_main);  // the control is written where it lives
  EXPECT_EQ(edit->text, u"ok");
  io->SetActive(false);
}

// A concrete component's own receive step, counted per thread.
class CountingIO : public SendingIO {
 public:
  using SendingIO::SendingIO;
  bool DoReceive(const void* Data, std::uint32_t Len) override {
    ++(OnMain() ? on_main : on_worker);
    return TqzBaseIO::DoReceive(Data, Len);
  }
  std::atomic<int> on_main{0}, on_worker{0};
};

TEST_F(ReceivePathTest, UseMainThreadHandsTheBlockOverAndBringsErrorsBack) {
  auto* cio = Make<CountingIO>();
  cio->SetUseMainThread(true);
  cio->threaded = true;
  std::atomic<bool> done{false}, errorCameBack{false};
  cio->body = [&](TqzThreadIO*) {
    cio->Receive("block");
    cio->SetOnAfterReceive(TOnReceived::Bind<&AfterReceive::Throw>(&after));
    try {
      cio->Receive("bad");
    } catch (const Error&) {
      errorCameBack = true;
    }
    done = true;
  };
  cio->SetActive(true);
  ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
  EXPECT_TRUE(after.on_main);
  EXPECT_EQ(after.blocks, (std::vector<std::string>{"block"}));
  EXPECT_TRUE(errorCameBack);
  // The component's own step runs on both threads, the base's line is written once.
  EXPECT_EQ(cio->on_worker, 2);
  EXPECT_EQ(cio->on_main, 2);
  EXPECT_EQ(log->lines.size(), 2u);
  cio->SetActive(false);
}

TEST_F(ReceivePathTest, CloseWhileTheWorkerWaitsInTheHandOffDoesNotDeadlock) {
  io->SetUseMainThread(true);
  io->threaded = true;
  std::atomic<bool> looping{false};
  io->body = [&](TqzThreadIO*) {
    looping = true;
    while (!io->IsThreadIOTerminated) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    io->Receive("last");  // handed over while the main thread waits to stop this thread
  };
  io->SetActive(true);
  ASSERT_TRUE(PumpUntil([&] { return looping.load(); }));
  io->SetActive(false);  // never returns if the wait does not serve the hand-off
  EXPECT_EQ(after.blocks, (std::vector<std::string>{"last"}));
  EXPECT_TRUE(after.on_main);
}

}  // namespace
}  // namespace qz
