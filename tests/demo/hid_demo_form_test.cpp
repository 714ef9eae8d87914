// The HID Demo window's logic on the sim ground, for what the GUI tests do not see: the
// log (unlogged first enumeration, Send3's line, the fatal error), the access row while
// open, closing the window during a flood, the memo's limit, and the refusals and closes
// it reports.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "fake_view.h"
#include "presenter/report_text.h"
#include "qzclasses/errors.h"
#include "qzclasses/headless_dispatcher.h"
#include "qzplatform/sim/sim_ground.h"
#include "qzsysutils/qzsysutils.h"

namespace {

using qzplatform::sim::Machine;

class HidDemoFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qz::Dispatcher::Install(&dispatcher);
    log_path = ::testing::TempDir() + "hid_demo_form_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
               std::to_string(getpid()) + ".log";
    std::remove(log_path.c_str());
    machine = qzplatform::sim::Install(Machine::Default());
    MakeForm(demo::MemoLimit::kDefaultLines);
  }
  void MakeForm(std::size_t memoLines) {
    form.reset();
    demo::DemoSettings settings;
    settings.logFileName = qz::TextFromUtf8(log_path);
    settings.note = u"simulated";
    settings.memoLines = memoLines;
    form = std::make_unique<demo::HidDemoForm>(view, box, settings);
    view.form = form.get();
  }
  void TearDown() override {
    form.reset();
    qz::Dispatcher::Install(nullptr);
    qzplatform::SetGround(nullptr);
    std::remove(log_path.c_str());
  }

  // The user picks the box item of the machine's device `name`.
  void Pick(const char* name) {
    const auto product = machine->Description(machine->FindDevice(name)).product_id;
    for (std::int32_t i = 0; i < list.ItemCount(); ++i) {
      if (static_cast<qz::TqzHidDevice*>(box.ItemDevice(i))->ProductId() == product) list.SetItemIndex(i);
    }
    box.Change();
  }
  // The user toggles the check box.
  void Click(bool checked) {
    view.checked = checked;
    form->CheckBox1Click(checked);
  }
  std::size_t LogCount(const std::string& what) const {
    std::ifstream in(log_path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    const std::string text = s.str();
    std::size_t n = 0;
    for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
  }

  qz::HeadlessDispatcher dispatcher;
  std::string log_path;
  std::shared_ptr<Machine> machine;
  demotest::FakeView view;
  demotest::FakeList list;
  qz::TqzDeviceBox box{nullptr, list};
  std::unique_ptr<demo::HidDemoForm> form;
};

TEST_F(HidDemoFormTest, OnlyTheEnumerationOfFormShowIsLogged) {
  EXPECT_GE(list.ItemCount(), 3);  // filled while the window was created
  EXPECT_EQ(LogCount("DeviceListLoad"), 0u);
  form->FormShow();
  EXPECT_EQ(LogCount("qzHID: DeviceListLoad ..."), 1u);
  EXPECT_EQ(view.Row(u"R/W modes:"), u"<none>");
}

TEST_F(HidDemoFormTest, TheGeneralNodeShowsTheAccessWhileOpen) {
  form->FormShow();
  Pick("echo");
  Click(true);
  EXPECT_EQ(view.Row(u"R/W modes:"), u"<none>");  // not refreshed by opening
  form->TreeView1Change({0, -1});
  EXPECT_EQ(view.Row(u"R/W modes:"), u"True / True");
}

TEST_F(HidDemoFormTest, AnOpenThatFailsLogsTheFatalErrorAndShowsTheRealState) {
  form->FormShow();
  Pick("echo");
  machine->Unplug(machine->FindDevice("echo"));
  EXPECT_THROW(Click(true), qz::Error);
  EXPECT_FALSE(view.checked);
  EXPECT_EQ(view.checkedSets, (std::vector<bool>{false}));
  EXPECT_EQ(LogCount("Fatal Error: 16,"), 1u);
}

TEST_F(HidDemoFormTest, Send3LogsItsOutcomeAlsoWhenNothingIsSent) {
  form->FormShow();
  Pick("echo");
  const std::size_t echo = machine->FindDevice("echo");
  demo::ReportRequest request;
  request.reading = demo::kAsciiReading;
  request.data = u"AB";
  form->Button2Click(request);  // closed
  Click(true);
  form->Button2Click(request);  // three bytes: not a whole 65-byte report
  request.fixedLength = true;
  form->Button2Click(request);
  EXPECT_EQ(machine->TakeOutputReports(echo).size(), 1u);
  EXPECT_EQ(LogCount("SetOutputReport: 0"), 2u);
  EXPECT_EQ(LogCount("SetOutputReport: 1"), 1u);
}

// The monitoring thread is held up in the log (a slow disk, a busy machine) while the
// device goes on sending: the window keeps far more waiting reports than the system's
// default ring of 32, and every one still gets its line, in order.
TEST_F(HidDemoFormTest, ReportsThatArriveWhileTheMonitoringThreadIsHeldUpAreAllShown) {
  struct Gate {
    void OnEntry(qz::Component*, qz::Text& entry) {
      if (entry.find(u"Do input data") == qz::Text::npos || held.exchange(true)) return;
      while (!open) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::atomic<bool> held{false}, open{false};
  } gate;
  form->FormShow();
  Pick("echo");
  Click(true);
  form->Log().SetOnLogEntry(qz::TOnLogEntry::Bind<&Gate::OnEntry>(&gate));
  const std::size_t echo = machine->FindDevice("echo");
  auto report = [](int i) {
    std::vector<std::uint8_t> r(65, 0);
    r[1] = static_cast<std::uint8_t>(i);
    r[2] = static_cast<std::uint8_t>(i >> 8);
    return r;
  };
  constexpr int kReports = 400;
  ASSERT_TRUE(machine->PushInput(echo, report(0)));
  for (int wait = 0; !gate.held && wait < 5000; ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(gate.held);
  for (int i = 1; i < kReports; ++i) ASSERT_TRUE(machine->PushInput(echo, report(i)));
  gate.open = true;
  for (int wait = 0; view.memo.size() < kReports && wait < 500; ++wait) {
    dispatcher.PumpFor(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(view.memo.size(), static_cast<std::size_t>(kReports));
  for (int i = 0; i < kReports; ++i) {
    const auto bytes = report(i);
    ASSERT_EQ(view.memo[i], demo::ReceivedReportLine(bytes.data(), 65)) << i;
  }
  form->Log().SetOnLogEntry({});
}

TEST_F(HidDemoFormTest, ClosingTheWindowDuringAFloodEndsCleanly) {
  form->FormShow();
  Pick("echo");
  Click(true);
  const std::size_t echo = machine->FindDevice("echo");
  std::atomic<bool> stop{false};
  std::thread device([&] {
    for (std::uint8_t i = 0; !stop; ++i) {
      std::vector<std::uint8_t> report(65, i);
      report[0] = 0;
      machine->PushInput(echo, report);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  dispatcher.PumpFor(std::chrono::milliseconds(50));
  form.reset();  // closes the device and waits for its loop while reports still come
  stop = true;
  device.join();
  const std::size_t shown = view.memo.size();
  dispatcher.ProcessQueued();  // deliveries still queued find the feed detached
  EXPECT_GT(shown, 0u);
  EXPECT_EQ(view.memo.size(), shown);
}

// A device that sends without end must not make the memo grow without end: it keeps the
// newest lines, and the status line says that older ones were dropped.
TEST_F(HidDemoFormTest, TheMemoKeepsTheNewestLinesUpToItsLimit) {
  constexpr std::size_t kMemoLines = 50;
  MakeForm(kMemoLines);
  form->FormShow();
  EXPECT_EQ(view.status, u"simulated");
  Pick("echo");
  Click(true);
  const std::size_t echo = machine->FindDevice("echo");
  constexpr int kReports = 120;
  for (int i = 0; i < kReports; ++i) {
    std::vector<std::uint8_t> report(65, 0);
    report[1] = static_cast<std::uint8_t>(i);
    ASSERT_TRUE(machine->PushInput(echo, report));
    dispatcher.PumpFor(std::chrono::milliseconds(1));
  }
  for (int wait = 0; form->Memo().Lines() + form->Memo().Dropped() < kReports && wait < 500; ++wait) {
    dispatcher.PumpFor(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(view.memo.size(), kMemoLines);
  std::vector<std::uint8_t> newest(65, 0);
  newest[1] = kReports - 1;
  EXPECT_EQ(view.memo.back(), demo::ReceivedReportLine(newest.data(), 65));
  EXPECT_EQ(view.status, u"Memo: 70 oldest lines dropped (it keeps the newest 50) | simulated");
}

TEST_F(HidDemoFormTest, ARefusedDeviceActionGetsAMemoLineWithTheReason) {
  form->FormShow();
  Pick("echo");
  machine->SetElevated(false);  // the class installer refuses: access denied
  form->Button4Click();
  form->Button6Click();
  const qz::Text reason = qz::SysErrorMessage(ERROR_ACCESS_DENIED) + u" (5)";
  EXPECT_EQ(view.memo, (std::vector<qz::Text>{u"Disable refused: " + reason, u"Restart refused: " + reason}));
  EXPECT_TRUE(machine->TakePropertyChanges().empty());
}

TEST_F(HidDemoFormTest, ADeviceThatClosesByItselfUnchecksActiveWithAMemoLine) {
  form->FormShow();
  Pick("echo");
  Click(true);
  machine->Unplug(machine->FindDevice("echo"));
  for (int wait = 0; view.checked && wait < 500; ++wait) dispatcher.PumpFor(std::chrono::milliseconds(10));
  EXPECT_FALSE(view.checked);
  EXPECT_FALSE(form->Hid().GetActive());
  EXPECT_EQ(view.memo, (std::vector<qz::Text>{
                           u"Device closed: reading from it failed (it was unplugged, disabled or restarted)"}));
  Click(false);  // the user's own close says nothing
  EXPECT_EQ(view.memo.size(), 1u);
}

TEST_F(HidDemoFormTest, HexThatIsNotIsNeitherSentNorConvertedAndTheMemoSaysWhy) {
  form->FormShow();
  Pick("echo");
  Click(true);
  const std::size_t echo = machine->FindDevice("echo");
  demo::ReportRequest request;  // HEX reading of "Hello Device"
  request.fixedLength = true;
  form->bSendClick(request);
  EXPECT_TRUE(machine->TakeOutputReports(echo).empty());
  ASSERT_EQ(view.memo.size(), 1u);
  EXPECT_EQ(view.memo[0], u"Nothing sent: the data is not hexadecimal (\"H\" at character 1 is not a hexadecimal digit)");
  request.data = u"41, 0x42 43";
  form->bSendClick(request);
  const auto sent = machine->TakeOutputReports(echo);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(std::vector<std::uint8_t>(sent[0].begin(), sent[0].begin() + 4), (std::vector<std::uint8_t>{0, 0x41, 0x42, 0x43}));

  form->cbTypeChange(demo::kAsciiReading, u"Hello Device");  // kept, not emptied
  EXPECT_EQ(view.data, u"Hello Device");
  EXPECT_EQ(view.memo.back(),
            u"The data stays as it is: it is not hexadecimal (\"H\" at character 1 is not a hexadecimal digit)");
}

TEST_F(HidDemoFormTest, PickingTheReadingTheDataIsAlreadyInConvertsNothing) {
  form->cbTypeChange(demo::kHexReading, u"AB");
  EXPECT_EQ(view.data, u"4142");
  form->cbTypeChange(demo::kHexReading, u"4142");  // HEX picked again
  EXPECT_EQ(view.data, u"4142");
  form->cbTypeChange(demo::kAsciiReading, u"4142");
  EXPECT_EQ(view.data, u"AB");
  form->cbTypeChange(demo::kAsciiReading, u"AB");
  EXPECT_EQ(view.data, u"AB");
}

}  // namespace
