// The HID Demo window's logic on the sim ground, for what the GUI tests do not see: the
// log (unlogged first enumeration, Send3's line, the fatal error), the access row while
// open, and closing the window during a flood.
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
    demo::DemoSettings settings;
    settings.logFileName = qz::TextFromUtf8(log_path);
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

}  // namespace
