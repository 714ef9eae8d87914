// Opening HID devices with the four access attempts, the monitoring loop and its
// hand-off of reports, and closing by the user, by the loop and by destruction.
#include <atomic>
#include <future>

#include "hid_fixture.h"
#include "qzclasses/data_processor.h"
#include "qzclasses/errors.h"
#include "qzsysutils/qzsysutils.h"

namespace hidtest {
namespace {

// A log and a processor that count the calls they get once their own destructor has
// begun; the destructor lingers so that a call racing it has time to arrive.
struct Dying {
  std::atomic<bool> begun{false};
  std::atomic<int> calls{0};
  std::atomic<int> late_calls{0};
  void Call() {
    ++calls;
    if (begun) ++late_calls;
  }
  void Linger() {
    begun = true;
    std::this_thread::sleep_for(30ms);
  }
};

class DyingLog : public qz::TqzCustomLogFile {
 public:
  DyingLog(qz::Component* owner, Dying& dying) : TqzCustomLogFile(owner), dying_(dying) {}
  ~DyingLog() override { dying_.Linger(); }
  void Save() override {}
  void Clear() override {}
  void Add(const qz::Text&) override { dying_.Call(); }
  void AddSysInfo() override { dying_.Call(); }
  void AddLog(qz::TDetailLevel, const qz::Text&) override { dying_.Call(); }
  void AddFmt(const qz::Text&, const qz::FormatArgs&) override { dying_.Call(); }
  void AddLogFmt(qz::TDetailLevel, const qz::Text&, const qz::FormatArgs&) override {
    dying_.Call();
  }

 private:
  Dying& dying_;
};

class DyingProcessor : public qz::TqzCustomDataProcessor {
 public:
  DyingProcessor(qz::Component* owner, Dying& dying)
      : TqzCustomDataProcessor(owner), dying_(dying) {}
  ~DyingProcessor() override { dying_.Linger(); }
  void DoProcessing(const void*, std::uint32_t, qz::TIgnoreTypes&) override { dying_.Call(); }

 private:
  Dying& dying_;
};

class HidOpen : public HidTest {
 protected:
  void Link() {
    hid->SetOnAfterReceive(receiver.Handler());
    hid->SetOnOpen(events.Open());
    hid->SetOnClose(events.Close());
    events.log = &log;
  }
  qz::Text Path(std::size_t device = 0) const { return machine->InterfacePath(device); }
  void Push(const Bytes& report, std::size_t device = 0) {
    ASSERT_TRUE(machine->PushInput(device, report));
  }
  // The Error an Active := true raises, or "" when it opens.
  qz::Text OpenError() {
    try {
      hid->SetActive(true);
    } catch (const qz::Error& e) {
      return e.Message();
    }
    return u"";
  }
};

TEST_F(HidOpen, ReadWriteOpenDeliversWholeReportsUntilClosed) {
  Load(VendorMachine({""}));
  Link();
  Open();
  EXPECT_TRUE(hid->IsReadMode());
  EXPECT_TRUE(hid->IsWriteMode());
  EXPECT_EQ(hid->InputReportLength(), 9u);
  EXPECT_EQ(hid->OutputReportLength(), 5u);
  EXPECT_EQ(hid->FeatureReportLength(), 3u);
  EXPECT_NE(Record(0)->fPpd, 0u) << "the open's preparsed data shows on its record";
  EXPECT_EQ(events.opens(), 1);

  // Reports shorter than the input report arrive padded: every block is a whole report.
  Push({0, 1, 2, 3});
  Push({0, 9, 8, 7, 6, 5, 4, 3, 2});
  ASSERT_TRUE(WaitFor([&] { return receiver.Count() == 2; }));
  const auto blocks = receiver.Blocks();
  EXPECT_EQ(blocks[0].data, (Bytes{0, 1, 2, 3, 0, 0, 0, 0, 0}));
  EXPECT_EQ(blocks[1].data, (Bytes{0, 9, 8, 7, 6, 5, 4, 3, 2}));
  EXPECT_NE(blocks[0].thread, std::this_thread::get_id()) << "delivered on the I/O thread";

  hid->SetActive(false);
  EXPECT_FALSE(hid->GetActive());
  EXPECT_EQ(Record(0)->fPpd, 0u);
  EXPECT_EQ(qzplatform::hidshared::LivePreparsedCount(), preparsed_before);
  EXPECT_EQ(qzplatform::OpenHandleCount(), handles_before);
  EXPECT_EQ(hid->InputReportLength(), 9u) << "lengths of the last open stay";
  EXPECT_EQ(hid->OutputReportLength(), 5u);

  const qz::Text path = Path();
  const auto lines = log.Lines();
  const std::vector<qz::Text> expected_start = {
      u"qzHID: try to open device " + path,
      u"qzHID: device has opened " + path + u" R:1 W:1 in:9 out:5",
  };
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(std::vector<qz::Text>(lines.begin(), lines.begin() + 2), expected_start);
  EXPECT_TRUE(log.Contains(u"qzHID: Start monitoring thread ... InRepLen= 9"));
  EXPECT_EQ(log.Count(u"qzHID: Do input data [9] bytes "), 2u);
  EXPECT_EQ(log.Count(u"qzHID: Input data length: 9"), 2u);
}

TEST_F(HidOpen, ReducedAccessOpensWithoutMonitoring) {
  Load(VendorMachine({R"("refuse": ["read"])", R"("refuse": ["read", "write"])"}));
  Link();
  Open();  // write only
  EXPECT_FALSE(hid->IsReadMode());
  EXPECT_TRUE(hid->IsWriteMode());
  EXPECT_FALSE(hid->LoopRunning());
  EXPECT_TRUE(log.Contains(u"qzHID: device has opened " + Path(0) + u" R:0 W:1 in:9 out:5"));
  EXPECT_FALSE(log.Contains(u"qzHID: Start monitoring thread ... InRepLen= 9"));
  const Bytes report{0, 1, 2, 3, 4};
  EXPECT_TRUE(hid->WriteReport(report.data(), 5));
  EXPECT_EQ(machine->TakeOutputReports(0), std::vector<Bytes>{report});
  hid->SetActive(false);
  EXPECT_EQ(events.closes(), 1);
  EXPECT_EQ(events.close_thread(), std::this_thread::get_id());

  hid->SetDeviceIndex(1);
  Open();  // neither read nor write: the fourth attempt
  EXPECT_FALSE(hid->IsReadMode());
  EXPECT_FALSE(hid->IsWriteMode());
  EXPECT_TRUE(log.Contains(u"qzHID: device has opened " + Path(1) + u" R:0 W:0 in:9 out:5"));
  EXPECT_FALSE(hid->WriteReport(report.data(), 5));
  hid->SetActive(false);
}

TEST_F(HidOpen, DeviceRefusingEveryOpenRaisesFatalError16) {
  Load(VendorMachine({""}));
  qzplatform::sim::Behaviour exclusive;
  exclusive.exclusive = true;
  machine->SetBehaviour(0, exclusive);
  struct Seen {
    std::uint32_t code = 0, detail = 0;
    qz::Text message;
    void On(qz::Component*, std::uint32_t c, std::uint32_t d, const qz::Text& m, bool&) {
      code = c;
      detail = d;
      message = m;
    }
  } seen;
  hid->SetOnFatalError(qz::TOnFatalErrorEvent::Bind<&Seen::On>(&seen));
  const qz::Text text = qz::SysErrorMessage(ERROR_SHARING_VIOLATION);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(OpenError(), text);
  EXPECT_FALSE(hid->GetActive());
  EXPECT_FALSE(hid->IsReadMode());
  EXPECT_FALSE(hid->IsWriteMode());
  EXPECT_EQ(seen.code, 16u);
  EXPECT_EQ(seen.detail, static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(seen.message, text);
  EXPECT_EQ(log.Lines(), (std::vector<qz::Text>{u"qzHID: try to open device " + Path(),
                                                u"Fatal Error: 16, 32, " + text}));
  EXPECT_EQ(qzplatform::OpenHandleCount(), handles_before);

  // A device gone since it was listed fails with the system's "not found".
  machine->SetBehaviour(0, {});
  machine->Unplug(0);
  EXPECT_EQ(OpenError(), qz::SysErrorMessage(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(seen.detail, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
}

TEST_F(HidOpen, NoCurrentRecordRaisesNotSelected) {
  Load(VendorMachine({""}));
  hid->SetDeviceIndex(-1);
  EXPECT_EQ(OpenError(), u"Active device is not selected");
  EXPECT_FALSE(hid->GetActive());
  EXPECT_EQ(log.Lines(), std::vector<qz::Text>{u"Fatal Error: 16, 2, Active device is not selected"});
}

TEST_F(HidOpen, UnplugClosesFromTheLoopOnItsThread) {
  Load(VendorMachine({""}));
  Link();
  Open();
  machine->Unplug(0);
  ASSERT_TRUE(WaitFor([&] { return events.closes() == 1 && !hid->LoopRunning(); }));
  EXPECT_FALSE(hid->GetActive());
  EXPECT_NE(events.close_thread(), std::this_thread::get_id()) << "OnClose runs on the I/O thread";
  EXPECT_TRUE(log.Contains(u"qzHID: close device."));
  EXPECT_LT(log.IndexOf(u"<OnClose>"), log.IndexOf(u"qzHID: ... exit monitoring thread."));
  EXPECT_EQ(Record(0)->fPpd, 0u);
  EXPECT_EQ(qzplatform::hidshared::LivePreparsedCount(), preparsed_before);
  EXPECT_EQ(qzplatform::OpenHandleCount(), handles_before);
  EXPECT_EQ(receiver.Count(), 0u);

  // Closing again does nothing more; a replugged device opens and reads again.
  hid->SetActive(false);
  EXPECT_EQ(events.closes(), 1);
  machine->Replug(0);
  Open();
  Push({0, 42});
  ASSERT_TRUE(WaitFor([&] { return receiver.Count() == 1; }));
  hid->SetActive(false);
}

TEST_F(HidOpen, CloseWhileTheLoopWaitsEndsItWithoutDelivering) {
  Load(VendorMachine({""}));
  Link();
  Open();
  ASSERT_TRUE(WaitFor([&] { return log.Contains(u"qzHID: Start monitoring thread ... InRepLen= 9"); }));
  hid->SetActive(false);
  // The close returns once the loop has ended; OnClose ran here.
  EXPECT_FALSE(hid->LoopRunning());
  EXPECT_EQ(events.close_thread(), std::this_thread::get_id());
  const auto close = log.IndexOf(u"qzHID: close device.");
  const auto on_close = log.IndexOf(u"<OnClose>");
  const auto exit = log.IndexOf(u"qzHID: ... exit monitoring thread.");
  ASSERT_GE(close, 0);
  EXPECT_LT(close, on_close);
  EXPECT_LT(close, exit);
  EXPECT_EQ(receiver.Count(), 0u);
  EXPECT_EQ(hid->close_device_calls.load(), 1);
}

TEST_F(HidOpen, UseMainThreadRunsTheReceiverOnTheMainThreadAndLogsTwice) {
  Load(VendorMachine({""}));
  Link();
  hid->SetUseMainThread(true);
  Open();
  Push({0, 5});
  ASSERT_TRUE(WaitFor([&] { return receiver.Count() == 1; }));
  EXPECT_EQ(receiver.Blocks()[0].thread, std::this_thread::get_id());
  EXPECT_EQ(receiver.Blocks()[0].data.size(), 9u);
  hid->SetActive(false);
  EXPECT_EQ(log.Count(u"qzHID: Do input data [9] bytes "), 2u);
  EXPECT_EQ(log.Count(u"qzHID: Input data length: 9"), 1u);
}

TEST_F(HidOpen, CloseFromTheReceiverEndsTheLoopAfterTheBlock) {
  Load(VendorMachine({""}));
  Link();
  receiver.during = [&](qz::TqzBaseIO* com, const Bytes&) { com->SetActive(false); };
  Open();
  Push({0, 1});
  ASSERT_TRUE(WaitFor([&] { return !hid->LoopRunning(); }));
  EXPECT_FALSE(hid->GetActive());
  EXPECT_EQ(receiver.Count(), 1u);
  EXPECT_EQ(events.closes(), 1);
  EXPECT_EQ(hid->close_device_calls.load(), 1);

  // The same from the main thread's side of a hand-off.
  receiver.during = [&](qz::TqzBaseIO* com, const Bytes&) { com->SetActive(false); };
  hid->SetUseMainThread(true);
  Open();
  Push({0, 2});
  ASSERT_TRUE(WaitFor([&] { return !hid->LoopRunning(); }));
  EXPECT_FALSE(hid->GetActive());
  EXPECT_EQ(receiver.Count(), 2u);
}

TEST_F(HidOpen, ReopenInsideTheHandOffIsRefusedNotDeadlocked) {
  Load(VendorMachine({""}));
  Link();
  hid->SetUseMainThread(true);
  qz::Text refused;
  receiver.during = [&](qz::TqzBaseIO* com, const Bytes&) {
    com->SetActive(false);
    try {
      com->SetActive(true);
    } catch (const qz::Error& e) {
      refused = e.Message();
    }
  };
  Open();
  Push({0, 1});
  ASSERT_TRUE(WaitFor([&] { return !hid->LoopRunning() && receiver.Count() == 1; }));
  EXPECT_EQ(refused, u"The device cannot be reopened while its last report is delivered");
  EXPECT_FALSE(hid->GetActive());
  receiver.during = nullptr;
  Open();  // outside the hand-off it opens as usual
  Push({0, 3});
  ASSERT_TRUE(WaitFor([&] { return receiver.Count() == 2; }));
  hid->SetActive(false);
}

TEST_F(HidOpen, ReopenFromOnCloseOnTheIOThreadStartsAFreshLoop) {
  Load(VendorMachine({""}));
  Link();
  std::atomic<bool> reopened{false};
  events.on_close = [&] {
    if (!reopened.exchange(true)) hid->SetActive(true);
  };
  Open();
  ASSERT_TRUE(WaitFor([&] { return log.Contains(u"qzHID: Start monitoring thread ... InRepLen= 9"); }));
  // A cancelled read fails like a lost device: the loop closes, its OnClose reopens. The
  // loop logs its start before its read is pending, so the cancel is repeated on the first
  // open's handle (handles are never reused) until the reopen.
  const HANDLE first = hid->Handle();
  ASSERT_TRUE(WaitFor([&] {
    if (events.opens() == 2) return true;
    CancelIo(first);
    return false;
  }));
  ASSERT_TRUE(WaitFor([&] { return log.Count(u"qzHID: Start monitoring thread ... InRepLen= 9") == 2; }));
  // The first loop has left its OnClose and ended.
  ASSERT_TRUE(WaitFor([&] { return log.Count(u"qzHID: ... exit monitoring thread.") == 1; }));
  EXPECT_TRUE(hid->GetActive());
  Push({0, 7});
  ASSERT_TRUE(WaitFor([&] { return receiver.Count() == 1; }));
  events.on_close = nullptr;
  hid->SetActive(false);
  EXPECT_FALSE(hid->LoopRunning());
  EXPECT_EQ(qzplatform::hidshared::LivePreparsedCount(), preparsed_before);
  EXPECT_EQ(qzplatform::OpenHandleCount(), handles_before);
}

TEST_F(HidOpen, PulseWithoutStopRequestDoesNotEndTheRead) {
  Load(VendorMachine({""}));
  Link();
  Open();
  ASSERT_TRUE(WaitFor([&] { return log.Contains(u"qzHID: Start monitoring thread ... InRepLen= 9"); }));
  for (int i = 0; i < 20; ++i) {
    PulseEvent(hid->hEventThread);
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_TRUE(hid->GetActive());
  Push({0, 4});
  ASSERT_TRUE(WaitFor([&] { return receiver.Count() == 1; }));
  hid->SetActive(false);
}

TEST_F(HidOpen, DestructionWaitsForABlockBeingDelivered) {
  Load(VendorMachine({""}));
  Link();
  // Reads the block, which is the component's own input buffer, only after the
  // destruction has begun.
  struct SlowReader {
    std::promise<void> entered;
    std::shared_future<void> released;
    std::atomic<int> sum{0};
    void On(qz::TqzBaseIO*, const void* buffer, std::uint32_t size) {
      entered.set_value();
      released.wait();
      int total = 0;
      for (std::uint32_t i = 0; i < size; ++i) total += static_cast<const std::uint8_t*>(buffer)[i];
      sum = total;
    }
  } reader;
  std::promise<void> release;
  reader.released = release.get_future().share();
  hid->SetOnAfterReceive(qz::TOnReceived::Bind<&SlowReader::On>(&reader));
  Open();
  Push({0, 1, 2, 3});
  reader.entered.get_future().wait();
  std::thread releaser([&] {
    std::this_thread::sleep_for(50ms);
    release.set_value();
  });
  hid.reset();  // closes, then waits for the handler before freeing the buffers
  releaser.join();
  EXPECT_EQ(reader.sum.load(), 6);
  EXPECT_EQ(events.closes(), 1);
}

TEST_F(HidOpen, CloseRacingTheLoopsOwnCloseClosesOnce) {
  Load(VendorMachine({""}));
  Link();
  for (int round = 0; round < 200; ++round) {
    hid->close_device_calls = 0;
    Open();
    std::thread unplug([&] { machine->Unplug(0); });
    hid->SetActive(false);
    unplug.join();
    ASSERT_TRUE(WaitFor([&] { return !hid->LoopRunning(); }));
    EXPECT_FALSE(hid->GetActive());
    EXPECT_EQ(hid->close_device_calls.load(), 1) << "round " << round;
    machine->Replug(0);
  }
  EXPECT_EQ(events.closes(), 200);
  EXPECT_EQ(qzplatform::hidshared::LivePreparsedCount(), preparsed_before);
  EXPECT_EQ(qzplatform::OpenHandleCount(), handles_before);
}

TEST_F(HidOpen, SelectionChangedWhileOpenStillReleasesTheOpensPreparsedData) {
  Load(VendorMachine({"", ""}));
  Open();
  const qz::PreparsedHandle ppd = Record(0)->fPpd;
  ASSERT_NE(ppd, 0u);
  hid->SetDeviceIndex(1);
  hid->UpdateDeviceDetails();  // reloads record 1, leaves the open alone
  EXPECT_EQ(Record(0)->fPpd, ppd);
  EXPECT_EQ(Record(1)->fPpd, 0u);
  hid->SetDeviceIndex(0);
  hid->UpdateDeviceDetails();  // the open record keeps showing the open's data
  EXPECT_EQ(Record(0)->fPpd, ppd);
  hid->SetDeviceIndex(1);
  hid->SetActive(false);
  EXPECT_EQ(Record(0)->fPpd, 0u);
  EXPECT_EQ(qzplatform::hidshared::LivePreparsedCount(), preparsed_before);
}

TEST_F(HidOpen, DeviceWithoutInputReportStaysOpenWithoutLoop) {
  // Output only: a read would fail at once and close the device.
  Load(R"({"devices": [{"name": "out", "vendor_id": 1, "product_id": 2,
    "report_descriptor": "06 00 FF 09 01 A1 01 15 00 26 FF 00 75 08 95 04 09 03 91 02 C0"}]})");
  Open();
  EXPECT_TRUE(hid->IsReadMode());
  EXPECT_FALSE(hid->LoopRunning());
  EXPECT_EQ(hid->InputReportLength(), 0u);
  std::this_thread::sleep_for(20ms);
  EXPECT_TRUE(hid->GetActive());
  hid->SetActive(false);
}

TEST_F(HidOpen, WithoutPreparsedDataOrReceiversTheLoopStillReads) {
  Load(VendorMachine({""}));
  qzplatform::sim::Behaviour no_data;
  no_data.no_preparsed_data = true;
  machine->SetBehaviour(0, no_data);
  Open();
  EXPECT_EQ(Record(0)->fPpd, 0u);
  Push({0, 5});
  ASSERT_TRUE(WaitFor([&] { return log.Contains(u"qzHID: Do input data [9] bytes "); }));
  hid->SetActive(false);
  EXPECT_FALSE(log.Contains(u"qzHID: Input data length: 9")) << "nothing receives";
}

TEST_F(HidOpen, LogAndProcessorDestroyedByTheirOwnerWhileReceivingAreNotCalledAgain) {
  Load(VendorMachine({""}));
  Dying log_dying, processor_dying;
  auto* owner = new qz::Component(nullptr);
  hid->SetLog(new DyingLog(owner, log_dying));
  hid->SetDataProcessor(new DyingProcessor(owner, processor_dying));
  Open();
  ASSERT_TRUE(machine->StreamInput(0, {0, 1}, 1'000'000'000));
  ASSERT_TRUE(WaitFor([&] { return processor_dying.calls > 100 && log_dying.calls > 100; }));
  delete owner;  // the processor goes first, then the log, while reports keep coming
  EXPECT_EQ(processor_dying.late_calls.load(), 0);
  EXPECT_EQ(log_dying.late_calls.load(), 0);
  EXPECT_EQ(hid->GetLog(), nullptr);
  EXPECT_EQ(hid->GetDataProcessor(), nullptr);
  EXPECT_TRUE(hid->GetActive());
  hid->SetActive(false);
}

TEST_F(HidOpen, ErrorLeavingTheLoopIsAFatalErrorAndClosesTheDevice) {
  Load(VendorMachine({""}));
  Link();
  receiver.during = [](qz::TqzBaseIO*, const Bytes&) { throw qz::Error(u"receiver failed"); };
  Open();
  Push({0, 1});
  ASSERT_TRUE(WaitFor([&] { return !hid->LoopRunning(); }));
  EXPECT_FALSE(hid->GetActive());
  EXPECT_EQ(events.closes(), 1);
  EXPECT_TRUE(log.Contains(u"Fatal Error: 16, 0, receiver failed"));
  EXPECT_EQ(hid->close_device_calls.load(), 1);

  // A log that fails from the first report on, its fatal-error line and the close's
  // line included: the device closes all the same.
  receiver.during = nullptr;
  std::atomic<bool> failing{false};
  log.on_line = [&](const qz::Text& line) {
    if (line == u"qzHID: Do input data [9] bytes ") failing = true;
    if (failing) throw qz::Error(u"Cannot save the log");
  };
  Open();
  Push({0, 2});
  ASSERT_TRUE(WaitFor([&] { return !hid->LoopRunning(); }));
  log.on_line = nullptr;
  EXPECT_FALSE(hid->GetActive());
  EXPECT_EQ(events.closes(), 2);
  EXPECT_EQ(qzplatform::OpenHandleCount(), handles_before);
}

TEST_F(HidOpen, UserCloseWhileTheLoopsOwnCloseReopensTakesEffect) {
  Load(VendorMachine({""}));
  Link();
  // The loop's OnClose reconnects and stays in OnClose until the user's close has begun.
  std::atomic<bool> reconnected{false};
  events.on_close = [&] {
    if (reconnected) return;
    hid->SetActive(true);
    reconnected = true;
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (log.Count(u"qzHID: close device.") < 2 && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(1ms);
  };
  Open();
  ASSERT_TRUE(WaitFor([&] { return log.Contains(u"qzHID: Start monitoring thread ... InRepLen= 9"); }));
  // A cancelled read fails like a lost device (repeated until the read is pending).
  const HANDLE first = hid->Handle();
  ASSERT_TRUE(WaitFor([&] {
    if (reconnected) return true;
    CancelIo(first);
    return false;
  }));
  hid->SetActive(false);
  ASSERT_TRUE(WaitFor([&] { return !hid->LoopRunning() && events.closes() == 2; }));
  EXPECT_FALSE(hid->GetActive());
  EXPECT_EQ(qzplatform::OpenHandleCount(), handles_before);
  EXPECT_EQ(qzplatform::hidshared::LivePreparsedCount(), preparsed_before);
}

}  // namespace
}  // namespace hidtest
