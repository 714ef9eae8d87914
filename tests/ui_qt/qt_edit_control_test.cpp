// The edit-control wrapper over Qt's text widgets: text in CR LF form, messages from the
// library, posted messages, typed keys through a hooked window procedure (the terminal
// binding) and the log file's VisualOut fed from another thread.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include <memory>
#include <thread>
#include <vector>

#include "log_from_worker.h"
#include "qt_pump.h"
#include "qzclasses/base_io.h"
#include "qzlogfile/log_file.h"
#include "toolkit_doubles.h"
#include "ui/qt/qt_dispatcher.h"
#include "ui/qt/qt_edit_control.h"

namespace {

using qz::Text;

using Hook = qztest::EditHook;

class QtEditControlTest : public ::testing::Test {
 protected:
  QtEditControlTest() { qz::Dispatcher::Install(&dispatcher); }
  ~QtEditControlTest() override { qz::Dispatcher::Install(nullptr); }

  void Show(QWidget* w) {
    w->show();
    w->activateWindow();
    w->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
  }

  qzui::QtDispatcher dispatcher;
};

TEST_F(QtEditControlTest, TextHasCrLfLineBreaksAndAppendKeepsTheCaret) {
  QPlainTextEdit edit;
  qzui::QtEditControl control(nullptr, &edit);
  control.SetText(u"one\r\ntwo");
  EXPECT_EQ(edit.toPlainText(), QStringLiteral("one\ntwo"));
  EXPECT_EQ(control.GetText(), u"one\r\ntwo");
  QTextCursor caret = edit.textCursor();
  caret.setPosition(1);
  edit.setTextCursor(caret);
  control.AppendText(u"\r\nthree");
  EXPECT_EQ(control.GetText(), u"one\r\ntwo\r\nthree");
  EXPECT_EQ(edit.textCursor().position(), 1);
  EXPECT_NE(control.GetHandle(), nullptr);
}

TEST_F(QtEditControlTest, LibraryMessagesActAsOnAWindowsEditControl) {
  QPlainTextEdit edit;
  qzui::QtEditControl control(nullptr, &edit);
  control.SetText(u"ab");
  edit.moveCursor(QTextCursor::End);
  control.SendChar(u'c');
  control.SendChar(u'\r');
  control.SendChar(u'd');
  control.SendChar(u'\b');
  control.SendChar(0x07);  // other control characters do nothing
  control.ReplaceSel(u"x\ty");
  EXPECT_EQ(control.GetText(), u"abc\r\nx\ty");

  QLineEdit line(QStringLiteral("12"));
  qzui::QtEditControl single(nullptr, &line);
  line.setCursorPosition(2);
  single.SendChar(u'\r');  // no new line in a single-line control
  single.SendChar(u'3');
  single.SendChar(u'\b');
  single.SendChar(u'\b');
  single.ReplaceSel(u"z");
  EXPECT_EQ(single.GetText(), u"1z");
}

TEST_F(QtEditControlTest, PostedMessagesReachTheWindowProcedureFromAnyThread) {
  QPlainTextEdit edit;
  qzui::QtEditControl control(nullptr, &edit);
  Hook hook;
  hook.old = control.GetWindowProc();
  control.SetWindowProc(qz::TWndMethod::Bind<&Hook::Proc>(&hook));
  std::thread([&] { control.Post(2999, 1, 0); }).join();
  EXPECT_TRUE(hook.seen.empty());  // queued, not sent
  ASSERT_TRUE(qttest::PumpUntil([&] { return !hook.seen.empty(); }));
  EXPECT_EQ(hook.seen, (std::vector<UINT>{2999}));
}

TEST_F(QtEditControlTest, TypedKeysGoThroughTheHookWhichMaySwallowOrPassThem) {
  QPlainTextEdit edit;
  qzui::QtEditControl control(nullptr, &edit);
  Show(&edit);
  QTest::keyClicks(&edit, QStringLiteral("ab"));  // no hook: Qt types them itself
  EXPECT_EQ(control.GetText(), u"ab");

  Hook hook;
  hook.old = control.GetWindowProc();
  control.SetWindowProc(qz::TWndMethod::Bind<&Hook::Proc>(&hook));
  QTest::keyClicks(&edit, QStringLiteral("cd"));
  QTest::keyClick(&edit, Qt::Key_Return);
  QTest::keyClick(&edit, Qt::Key_Backspace);
  QTest::keyClick(&edit, Qt::Key_Left);  // not a character: straight to Qt
  EXPECT_EQ(hook.chars, Text(u"cd\r\b"));
  EXPECT_EQ(control.GetText(), u"ab");

  hook.swallow_chars = false;  // passed on: typed as usual
  QTest::keyClicks(&edit, QStringLiteral("X"));
  EXPECT_EQ(control.GetText(), u"aXb");

  control.SetWindowProc(qz::TWndMethod());  // the control's own procedure again
  QTest::keyClicks(&edit, QStringLiteral("Y"));
  EXPECT_EQ(hook.chars, Text(u"cd\r\bX"));
  EXPECT_EQ(control.GetText(), u"aXYb");
}

TEST_F(QtEditControlTest, TabAndControlCharactersAreTypedKeysToo) {
  QPlainTextEdit edit;
  qzui::QtEditControl control(nullptr, &edit);
  Show(&edit);
  Hook hook;
  hook.old = control.GetWindowProc();
  control.SetWindowProc(qz::TWndMethod::Bind<&Hook::Proc>(&hook));
  QTest::keyClick(&edit, Qt::Key_Tab);
  QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(&edit, Qt::Key_BracketLeft, Qt::ControlModifier);
  EXPECT_EQ(hook.chars, Text(u"\t\x01\x1b"));
  EXPECT_EQ(control.GetText(), u"");

  hook.swallow_chars = false;  // passed on: Qt handles the keys as usual
  QTest::keyClicks(&edit, QStringLiteral("ab"));
  QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);  // select all
  QTest::keyClick(&edit, Qt::Key_Tab);
  EXPECT_EQ(control.GetText(), u"\t");
}

using qztest::TerminalIO;

TEST_F(QtEditControlTest, BoundAsTerminalTypedKeysGoToTheDeviceAndReceivedBytesShow) {
  QPlainTextEdit edit;
  auto control = std::make_unique<qzui::QtEditControl>(nullptr, &edit);
  TerminalIO io;
  io.SetTerminalUsage(qz::tuBoth);
  io.SetTerminal(control.get());
  Show(&edit);
  QTest::keyClicks(&edit, QStringLiteral("hi"));
  EXPECT_EQ(io.sent, u"hi");
  EXPECT_EQ(control->GetText(), u"");  // no echo
  io.Write("OK");
  io.Write("!");
  EXPECT_EQ(control->GetText(), u"OK!");
  io.SetTerminalEcho(true);
  QTest::keyClicks(&edit, QStringLiteral("e"));
  EXPECT_EQ(io.sent, u"hie");
  EXPECT_EQ(control->GetText(), u"OK!e");
  control.reset();  // the component lets go of a control that goes away
  EXPECT_EQ(io.GetTerminal(), nullptr);
}

TEST_F(QtEditControlTest, LogEntriesFromAWorkerReachTheVisualOutInOrder) {
  QPlainTextEdit edit;
  qzui::QtEditControl control(nullptr, &edit);
  qz::TqzLogFile log(nullptr);
  qztest::LogFromWorker(log, &control);
  ASSERT_TRUE(qttest::PumpUntil(
      [&] { return edit.document()->blockCount() > qztest::kWorkerEntries; }));
  EXPECT_TRUE(qztest::HoldsWorkerEntriesInOrder(control.GetText()));
}

TEST_F(QtEditControlTest, AWidgetDestroyedFirstLeavesAWrapperThatDoesNothing) {
  auto edit = std::make_unique<QLineEdit>(QStringLiteral("x"));
  qzui::QtEditControl control(nullptr, edit.get());
  edit.reset();
  control.SetText(u"y");
  control.SendChar(u'z');
  EXPECT_EQ(control.GetText(), u"");
  EXPECT_EQ(control.Widget(), nullptr);
}

}  // namespace
