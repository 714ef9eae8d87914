// The data processor: links and chains, the two send paths, the completion timer,
// notifications and fatal errors.
#include "qzclasses/data_processor.h"

#include <gtest/gtest.h>

#include "receive_doubles.h"

namespace qz {
namespace {

using namespace test;

// An OnDataSend handler: may rewrite the first byte and take the send over.
struct SendHandler {
  int calls = 0;
  bool synchro = false, handle = false;
  char first = 0;
  void On(Component*, char* ptrBuffer, std::uint32_t, bool flSynchro, bool& flHandled) {
    ++calls;
    synchro = flSynchro;
    if (first) ptrBuffer[0] = first;
    flHandled = handle;
  }
  void Throw(Component*, char*, std::uint32_t, bool, bool&) { throw Error(u"handler failed"); }
};

struct FatalQuieter {
  void On(Component*, std::uint32_t, std::uint32_t, const Text&, bool& raise) { raise = false; }
};

class DataProcessorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    p1->SetLog(log);
    p1->SetDevice(io);
    p1->SetOnDataSend(TDataSendEvent::Bind<&SendHandler::On>(&handler));
  }
  std::vector<Text> Lines() { return std::exchange(log->lines, {}); }

  InstalledDispatcher d;
  Component owner{nullptr};
  SendingIO* io = new SendingIO(&owner);
  RecordingLog* log = new RecordingLog(&owner);
  Trail trail;
  TrailProcessor* p1 = new TrailProcessor(&owner, &trail, "p1");
  TrailProcessor* p2 = new TrailProcessor(&owner, &trail, "p2");
  SendHandler handler;
};

TEST_F(DataProcessorTest, ChainPassesBlocksOnAndRefusesLoops) {
  TIgnoreTypes R = IgnoreBit(itTraceState);
  p1->DoProcessing("x", 1, R);  // alone: R comes back unchanged
  EXPECT_EQ(R, IgnoreBit(itTraceState));
  p1->SetDataProcessor(p1);
  EXPECT_EQ(p1->GetDataProcessor(), nullptr);
  p1->SetDataProcessor(p2);
  EXPECT_EQ(p2->GetDevice(), io);  // the chain listens to the same component
  EXPECT_THROW(p2->SetDataProcessor(p1), Error);
  trail.clear();
  p1->DataReceive("ab", 2);
  EXPECT_EQ(trail, (Trail{"p1:ab", "p2:ab"}));
  delete p2;
  EXPECT_EQ(p1->GetDataProcessor(), nullptr);
}

TEST_F(DataProcessorTest, LinksFollowTheComponentAndRemovals) {
  p1->SetDevice(nullptr);
  io->SetDataProcessor(p1);
  io->SetDataProcessor(p2);  // replacing leaves the first linked
  EXPECT_EQ(p1->GetDevice(), io);
  io->SetDataProcessor(nullptr);  // clearing unlinks the current one
  EXPECT_EQ(p2->GetDevice(), nullptr);
  EXPECT_EQ(io->qzNotifyList.Count(), 1);

  // Each processor keeps its own entry: p2 is told as well, and p2 leaving takes out
  // only its own.
  p2->SetLog(log);
  p2->SetDevice(io);
  EXPECT_EQ(io->qzNotifyList.Count(), 2);
  io->DoNotify(2);
  EXPECT_EQ(Lines(), (std::vector<Text>{u"2:Medium Opened", u"2:Medium Opened"}));
  delete p2;
  io->DoNotify(2);
  EXPECT_EQ(Lines(), (std::vector<Text>{u"2:Medium Opened"}));
  io->SetDataProcessor(p1);
  delete p1;
  EXPECT_EQ(io->GetDataProcessor(), nullptr);
  EXPECT_EQ(io->qzNotifyList.Count(), 0);
}

TEST_F(DataProcessorTest, DestroyingTheComponentUnlinksTheChain) {
  io->SetDataProcessor(p1);
  p1->SetDataProcessor(p2);
  delete io;  // the listener removals must find the list alive (checked by sanitizers)
  EXPECT_EQ(p1->GetDevice(), nullptr);
  EXPECT_EQ(p2->GetDevice(), nullptr);
  delete log;
  EXPECT_EQ(p1->GetLog(), nullptr);
}

TEST_F(DataProcessorTest, NotificationsLogMediumClosedAndOpened) {
  p1->SetPrefix(u"dp: ");
  io->DoNotify(1);
  io->DoNotify(2);
  io->DoNotify(3);
  EXPECT_EQ(Lines(), (std::vector<Text>{u"2:dp: Medium Closed", u"2:dp: Medium Opened"}));
}

TEST_F(DataProcessorTest, SendBlockGoesOutAsTheHandlerLeftItOrCompletesLater) {
  char block[8] = {'a', 'b', 'c'};
  handler.first = 'X';
  p1->DoDataSend(block, 3);
  EXPECT_EQ(io->data, (std::vector<std::string>{"Xbc"}));
  EXPECT_FALSE(handler.synchro);

  handler.handle = true;
  p1->DoDataSend(block, 8);
  EXPECT_EQ(io->data.size(), 1u);
  EXPECT_EQ(Lines(), (std::vector<Text>{u"2:DoDataSend: 3 bytes", u"2:DoDataSend: 8 bytes"}));
  d.Advance(999);
  EXPECT_EQ(p1->completions, 0);
  d.Advance(1);
  EXPECT_EQ(p1->completions, 1);
  d.Advance(600);
  p1->DoDataSend(block, 8);  // restarts a full interval
  d.Advance(999);
  EXPECT_EQ(p1->completions, 1);
  d.Advance(1);
  EXPECT_EQ(p1->completions, 2);
  p1->StartAsyncTimer(0);  // nothing pending: stays quiet
  p1->StartAsyncTimer(50);
  d.Advance(20);
  p1->StartAsyncTimer(0);  // stops a pending completion
  d.Advance(5000);
  EXPECT_EQ(p1->completions, 2);
}

TEST_F(DataProcessorTest, SendStringOffersACopyAndEmptyOrFailingSendsAreQuiet) {
  const std::string s = "hello";
  handler.first = 'J';
  p1->DoDataSendString(s);
  EXPECT_EQ(s, "hello");
  EXPECT_TRUE(handler.synchro);
  EXPECT_EQ(io->strings, (std::vector<std::string>{"Jello"}));

  char block[2] = {'a', 'b'};
  p1->DoDataSend(block, 0);
  p1->DoDataSend(nullptr, 4);
  p1->DoDataSendString("");
  EXPECT_EQ(handler.calls, 1);
  p1->SetOnDataSend(TDataSendEvent::Bind<&SendHandler::Throw>(&handler));
  EXPECT_NO_THROW(p1->DoDataSend(block, 2));
  EXPECT_NO_THROW(p1->DoDataSendString("ab"));
  EXPECT_TRUE(io->data.empty());
  EXPECT_EQ(io->strings.size(), 1u);
  EXPECT_TRUE(Lines().empty());
}

TEST_F(DataProcessorTest, FatalErrorsAreLoggedAndRaisedUnlessSuppressed) {
  p1->SetPrefix(u"dp: ");
  try {
    p1->DoFatalErrors(7, 9, u"broken");
    FAIL() << "no error raised";
  } catch (const Error& e) {
    EXPECT_EQ(e.Message(), u"broken");
  }
  FatalQuieter s;
  p1->SetOnFatalError(TOnFatalErrorEvent::Bind<&FatalQuieter::On>(&s));
  EXPECT_NO_THROW(p1->DoFatalErrors(1, 2, u"quiet"));
  EXPECT_EQ(Lines(),
            (std::vector<Text>{u"0:Fatal Error: 7, 9, broken", u"0:Fatal Error: 1, 2, quiet"}));
}

TEST_F(DataProcessorTest, ComponentAsksTheProcessorAboutCompletedSends) {
  EXPECT_FALSE(io->DoAfterSend());
  io->SetDataProcessor(p1);
  p1->ignore_sends = true;
  EXPECT_TRUE(io->DoAfterSend());
}

}  // namespace
}  // namespace qz
