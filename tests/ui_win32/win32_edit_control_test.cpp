// The edit-control wrapper over a real EDIT control: CR LF text and appending behind the
// user's caret, real WM_CHAR messages through a hooked window procedure, posted messages,
// the terminal binding of an I/O component, the log file's VisualOut fed from a worker,
// errors of a hook, and a window that goes first.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "qzclasses/base_io.h"
#include "qzclasses/errors.h"
#include "qzlogfile/log_file.h"
#include "ui/win32/message_box.h"
#include "ui/win32/message_box_hook.h"
#include "ui/win32/win32_dispatcher.h"
#include "ui/win32/win32_edit_control.h"
#include "log_from_worker.h"
#include "toolkit_doubles.h"
#include "win32_pump.h"

namespace {

using qz::Text;

HWND NewEdit(DWORD style = ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL) {
  return CreateWindowExW(0, L"EDIT", L"", style, 0, 0, 200, 100, nullptr, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

std::pair<DWORD, DWORD> Selection(HWND edit) {
  DWORD start = 0;
  DWORD end = 0;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return {start, end};
}

void Type(HWND edit, const Text& chars) {
  for (char16_t ch : chars) SendMessageW(edit, WM_CHAR, ch, 1);
}

using qztest::EditHook;

class Win32EditControlTest : public ::testing::Test {
 protected:
  Win32EditControlTest() { qz::Dispatcher::Install(&dispatcher); }
  ~Win32EditControlTest() override {
    qzui::SetMessageBoxHook({});
    if (IsWindow(edit)) DestroyWindow(edit);
    qz::Dispatcher::Install(nullptr);
  }

  qzui::Win32Dispatcher dispatcher;
  HWND edit = NewEdit();
};

TEST_F(Win32EditControlTest, TextHasCrLfLineBreaksAndAppendingKeepsTheUsersSelection) {
  qzui::Win32EditControl control(nullptr, edit);
  EXPECT_EQ(control.GetHandle(), edit);
  control.SetText(u"one\ntwo");
  EXPECT_EQ(control.GetText(), u"one\r\ntwo");
  SendMessageW(edit, EM_SETSEL, 1, 3);
  control.AppendText(u"\nthree");
  EXPECT_EQ(control.GetText(), u"one\r\ntwo\r\nthree");
  EXPECT_EQ(Selection(edit), std::make_pair(DWORD{1}, DWORD{3}));

  // A caret at the end follows what is appended.
  const auto end = static_cast<DWORD>(control.GetText().size());
  SendMessageW(edit, EM_SETSEL, end, end);
  control.AppendText(u"!");
  EXPECT_EQ(Selection(edit), std::make_pair(end + 1, end + 1));

  // Far beyond the system's default text limit, nothing is cut.
  Text lines;
  for (int i = 0; i < 1000; ++i) lines += u"a log line of forty characters or so..\r\n";
  control.AppendText(lines);
  EXPECT_EQ(control.GetText().size(), end + 1 + lines.size());
}

TEST_F(Win32EditControlTest, RealCharMessagesReachTheHookFirstWhichMaySwallowOrPassThem) {
  qzui::Win32EditControl control(nullptr, edit);
  control.SetText(u"ab");
  SendMessageW(edit, EM_SETSEL, 2, 2);
  EditHook hook;
  hook.old = control.GetWindowProc();
  control.SetWindowProc(qz::TWndMethod::Bind<&EditHook::Proc>(&hook));
  Type(edit, u"cd\r\b");
  EXPECT_EQ(hook.chars, u"cd\r\b");
  EXPECT_EQ(control.GetText(), u"ab");  // swallowed

  hook.swallow_chars = false;  // passed on: the EDIT control types them
  Type(edit, u"X\rY\b");
  PostMessageW(edit, WM_CHAR, u'Z', 1);
  EXPECT_EQ(control.GetText(), u"abX\r\n");  // the posted key waits for the loop
  ASSERT_TRUE(w32test::PumpUntil([&] { return control.GetText() == u"abX\r\nZ"; }));
  control.SendChar(u'!');  // the library's sent message takes the same way
  EXPECT_EQ(hook.chars, u"cd\r\bX\rY\bZ!");

  std::thread([&] { control.Post(2999, 1, 0); }).join();
  hook.seen.clear();
  ASSERT_TRUE(w32test::PumpUntil([&] { return !hook.seen.empty(); }));
  EXPECT_EQ(hook.seen, (std::vector<UINT>{2999}));

  control.SetWindowProc(qz::TWndMethod());  // the control's own procedure again
  Type(edit, u"W");
  EXPECT_EQ(hook.chars, u"cd\r\bX\rY\bZ!");
  EXPECT_EQ(control.GetText(), u"abX\r\nZ!W");
}

TEST_F(Win32EditControlTest, AnErrorOfTheWindowProcedureIsReportedNotThrownThroughTheLoop) {
  struct FailingHook {
    void Proc(qz::Message& msg) {
      if (msg.Msg == WM_CHAR) throw qz::Error(u"hook failed");
      old(msg);
    }
    qz::TWndMethod old;
  } hook;
  qzui::Win32EditControl control(nullptr, edit);
  hook.old = control.GetWindowProc();
  control.SetWindowProc(qz::TWndMethod::Bind<&FailingHook::Proc>(&hook));
  std::vector<std::pair<Text, qzui::BoxKind>> boxes;
  qzui::SetMessageBoxHook([&](const Text& text, qzui::BoxKind kind) { boxes.emplace_back(text, kind); });
  Type(edit, u"a");
  control.SetText(u"still works");
  EXPECT_EQ(control.GetText(), u"still works");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], std::make_pair(Text(u"hook failed"), qzui::BoxKind::Error));
}

using EditTerminalIO = qztest::TerminalIO;

TEST_F(Win32EditControlTest, BoundAsTerminalTypedKeysGoToTheDeviceAndReceivedBytesShow) {
  const LONG_PTR class_proc = GetWindowLongPtrW(edit, GWLP_WNDPROC);
  auto control = std::make_unique<qzui::Win32EditControl>(nullptr, edit);
  EditTerminalIO io;
  io.SetTerminalUsage(qz::tuBoth);
  io.SetTerminal(control.get());
  Type(edit, u"hi");
  EXPECT_EQ(io.sent, u"hi");
  EXPECT_EQ(control->GetText(), u"");  // no echo

  // Received on a worker: the bytes reach the EDIT control on the main thread.
  std::atomic<bool> written{false};
  std::thread worker([&] {
    io.Write("OK");
    io.Write("\b");  // one byte is a typed key: a backspace deletes
    io.Write(std::string("!\0?", 3));
    written = true;
  });
  dispatcher.WaitUntil([&] { return written.load(); });
  worker.join();
  EXPECT_EQ(control->GetText(), u"O!?");
  EXPECT_EQ(io.sent, u"hi");  // received text is never sent back

  io.SetTerminalEcho(true);
  Type(edit, u"e");
  EXPECT_EQ(io.sent, u"hie");
  EXPECT_EQ(control->GetText(), u"O!?e");

  io.SetTerminal(nullptr);  // unbound: the control types by itself, nothing is sent
  Type(edit, u"f");
  EXPECT_EQ(io.sent, u"hie");
  EXPECT_EQ(control->GetText(), u"O!?ef");

  io.SetTerminal(control.get());
  control.reset();  // the component lets go of a control that goes away
  EXPECT_EQ(io.GetTerminal(), nullptr);
  EXPECT_EQ(GetWindowLongPtrW(edit, GWLP_WNDPROC), class_proc);  // unsubclassed
  Type(edit, u"g");
  EXPECT_EQ(io.sent, u"hie");
  EXPECT_EQ(GetWindowTextLengthW(edit), 6);
}

TEST_F(Win32EditControlTest, LogEntriesFromAWorkerReachTheVisualOutInOrder) {
  qzui::Win32EditControl control(nullptr, edit);
  qz::TqzLogFile log(nullptr);
  qztest::LogFromWorker(log, &control);
  // The entries travel through the dispatcher's posted wake-up to the main thread.
  ASSERT_TRUE(w32test::PumpUntil(
      [&] { return SendMessageW(edit, EM_GETLINECOUNT, 0, 0) > qztest::kWorkerEntries; }));
  EXPECT_TRUE(qztest::HoldsWorkerEntriesInOrder(control.GetText()));
}

TEST_F(Win32EditControlTest, AWindowDestroyedFirstLeavesAWrapperThatDoesNothing) {
  qzui::Win32EditControl control(nullptr, edit);
  EditTerminalIO io;
  io.SetTerminalUsage(qz::tuReceive);
  io.SetTerminal(&control);
  DestroyWindow(edit);
  EXPECT_EQ(control.GetHandle(), nullptr);
  control.SetText(u"y");
  control.AppendText(u"z");
  control.SendChar(u'z');
  control.Post(WM_CHAR, u'z', 1);
  io.Write("received");
  EXPECT_EQ(control.GetText(), u"");
}

TEST_F(Win32EditControlTest, OnlyAnEditWindowWithoutAWrapperCanBeWrapped) {
  EXPECT_THROW(qzui::Win32EditControl(nullptr, nullptr), qz::Error);
  const HWND label = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
  EXPECT_THROW(qzui::Win32EditControl(nullptr, label), qz::Error);
  DestroyWindow(label);

  const LONG_PTR class_proc = GetWindowLongPtrW(edit, GWLP_WNDPROC);
  {
    qzui::Win32EditControl first(nullptr, edit);
    EXPECT_NE(GetWindowLongPtrW(edit, GWLP_WNDPROC), class_proc);
    EXPECT_THROW(qzui::Win32EditControl(nullptr, edit), qz::Error);
  }
  EXPECT_EQ(GetWindowLongPtrW(edit, GWLP_WNDPROC), class_proc);  // unsubclassed
  qzui::Win32EditControl again(nullptr, edit);
  again.SetText(u"x");
  EXPECT_EQ(again.GetText(), u"x");
}

}  // namespace
