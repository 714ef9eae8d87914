// The terminal: received bytes written into an edit control, typed characters sent to the
// device, binding and release.
#include <gtest/gtest.h>

#include "system_capture.h"
#include "receive_doubles.h"

namespace qz {
namespace {

using namespace test;

const std::vector<Text> kLockLines = {u"==============================   LOCK ==============",
                                      u"++++++++++++++++++++++++++++++   UNLOCK"};

bool SameProc(const TWndMethod& a, const TWndMethod& b) {
  return a.Code() == b.Code() && a.Object() == b.Object();
}

class TerminalTest : public ::testing::Test {
 protected:
  void Bind(TTerminalUsage usage, bool echo = false) {
    io->SetTerminal(edit);
    io->SetTerminalUsage(usage);
    io->SetTerminalEcho(echo);
  }

  qztest::DebugOutputCapture debug_output;
  InstalledDispatcher d;
  Component owner{nullptr};
  SendingIO* io = new SendingIO(&owner);
  Trail trail;
  TrailEdit* edit = new TrailEdit(&owner, &trail);
  const TWndMethod own = edit->GetWindowProc();
};

TEST_F(TerminalTest, OneByteIsATypedKeyAndLongerBlocksAreTextSplitAtNul) {
  Bind(tuReceive);
  edit->SetText(u"xy");
  io->Receive("\x08");
  EXPECT_EQ(edit->text, u"x");
  io->Receive("A\x08");
  io->Receive("\xE9\x41");  // bytes widen to the characters of the same value
  EXPECT_EQ(edit->text, u"xA\x08\u00E9A");
  edit->SetText(u"");
  trail.clear();
  io->Receive(std::string("AB\0CD", 5));
  EXPECT_EQ(trail, (Trail{"terminal:text", "terminal:text"}));
  io->Receive(std::string("\0\0EF\0", 5));
  EXPECT_EQ(edit->text, u"ABCDEF");
  // Text goes in at the caret, replacing the selection.
  edit->SetSel(1, 5);
  io->Receive("xy");
  EXPECT_EQ(edit->text, u"AxyF");
}

TEST_F(TerminalTest, UsageDecidesWhatIsShownAndWhatIsSent) {
  io->SetTerminalUsage(tuReceive);  // no terminal yet: stored only
  EXPECT_EQ(io->hTerminal.load(), nullptr);
  Bind(tuBoth);
  ASSERT_EQ(edit->posted.size(), 1u);
  EXPECT_EQ(edit->posted[0].Msg, 2999u);
  EXPECT_EQ(edit->posted[0].WParam, reinterpret_cast<WPARAM>(io));
  EXPECT_EQ(io->hTerminal.load(), edit->GetHandle());

  edit->SendChar(u'a');  // sent, not shown
  io->Receive("z");      // shown, not sent back
  io->SetTerminalEcho(true);
  edit->SendChar(u'b');  // sent and shown
  io->SetTerminalUsage(tuReceive);
  edit->SendChar(u'c');  // shown only
  EXPECT_EQ(io->chars, u"ab");
  EXPECT_EQ(edit->text, u"zbc");

  io->SetTerminalUsage(tuSend);
  EXPECT_EQ(io->hTerminal.load(), nullptr);
  debug_output.Take();
  io->Receive("hidden");
  EXPECT_EQ(edit->text, u"zbc");
  EXPECT_EQ(debug_output.Take(), kLockLines);
}

TEST_F(TerminalTest, RebindingHooksOnceAndReleasingPutsTheProcedureBack) {
  LoadStored(*io, [&] { Bind(tuBoth, true); });  // bound while loading, again when loaded
  io->SetTerminal(edit);                          // and once more
  EXPECT_TRUE(SameProc(io->fOldTerminalWndProc, own));
  edit->SendChar(u'k');
  EXPECT_EQ(io->chars, u"k");
  EXPECT_EQ(edit->text, u"k");

  io->SetTerminal(nullptr);
  EXPECT_TRUE(SameProc(edit->GetWindowProc(), own));
  EXPECT_EQ(edit->posted.back().Msg, 2999u);
  EXPECT_EQ(edit->posted.back().WParam, 0u);
  edit->SendChar(u'q');
  EXPECT_EQ(io->chars, u"k");
  EXPECT_EQ(edit->text, u"kq");
}

TEST_F(TerminalTest, DesignTimeBindingSwitchesAnUnusedTerminalToBoth) {
  io->SetTerminal(edit);
  EXPECT_EQ(io->GetTerminalUsage(), tuNone);
  io->SetDesigning(true);
  io->SetTerminal(edit);
  EXPECT_EQ(io->GetTerminalUsage(), tuBoth);
}

TEST_F(TerminalTest, EitherSideGoingAwayLeavesTheOtherSafe) {
  Bind(tuReceive);
  auto* other = new TrailEdit(&owner, nullptr);
  delete edit;  // forgotten without touching the control
  EXPECT_EQ(io->GetTerminal(), nullptr);
  EXPECT_NO_THROW(io->Receive("ab"));

  const TWndMethod otherOwn = other->GetWindowProc();
  io->SetTerminal(other);
  io->SetTerminalUsage(tuBoth);
  delete io;  // unhooks its terminal: a hook left behind would call a destroyed component
  EXPECT_TRUE(SameProc(other->GetWindowProc(), otherOwn));
  EXPECT_EQ(other->posted.back().WParam, 0u);
  other->SendChar(u'w');
  EXPECT_EQ(other->text, u"w");
}

struct FailingHook {
  void On(Message&) { throw Error(u"window gone"); }
};

TEST_F(TerminalTest, FailuresNeitherEscapeTheHookNorLeaveTheTerminalLocked) {
  auto* log = new RecordingLog(&owner);
  io->SetLog(log);
  Bind(tuSend);
  io->fail_send = true;
  EXPECT_NO_THROW(edit->SendChar(u'x'));
  EXPECT_EQ(edit->text, u"");  // still swallowed
  EXPECT_EQ(log->lines,
            (std::vector<Text>{u"0:FakeIOCannot send a typed character: device gone"}));

  EXPECT_THROW(io->TerminalWrite(nullptr, 2), Error);
  EXPECT_THROW(io->TerminalWrite("ab", -1), Error);
  FailingHook hook;
  edit->SetWindowProc(TWndMethod::Bind<&FailingHook::On>(&hook));
  io->SetTerminalUsage(tuReceive);
  debug_output.Take();
  EXPECT_THROW(io->TerminalWrite("ab", 2), Error);
  EXPECT_FALSE(io->fTerminalLocked);
  EXPECT_EQ(debug_output.Take(), kLockLines);
}

}  // namespace
}  // namespace qz
