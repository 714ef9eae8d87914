// The base I/O component: Active rules, fatal errors, device-change messages, log, listeners.
#include "qzclasses/base_io.h"

#include <gtest/gtest.h>

#include "fake_io.h"
#include "qzclasses/headless_dispatcher.h"
#include "system_capture.h"

namespace qz {
namespace {

using test::EventCounter;
using test::FakeIO;
using test::RecordingLog;

class BaseIOTest : public ::testing::Test {
 protected:
  void SetUp() override { Dispatcher::Install(&d); }
  void TearDown() override { Dispatcher::Install(nullptr); }
  void WatchEvents(FakeIO& io) {
    io.SetOnOpen(TNotifyEvent::Bind<&EventCounter::OnOpen>(&events));
    io.SetOnClose(TNotifyEvent::Bind<&EventCounter::OnClose>(&events));
  }

  HeadlessDispatcher d;
  EventCounter events;
  qztest::MessageBoxCapture boxes;
};

TEST_F(BaseIOTest, NewComponentIsClosedWithEventsReady) {
  FakeIO io(nullptr);
  EXPECT_FALSE(io.GetActive());
  EXPECT_FALSE(io.IsOpened());
  EXPECT_EQ(io.GetPriority(), tpNormal);
  EXPECT_TRUE(io.flClearDeviceListWithFree);
  ASSERT_NE(io.fOvlRead.hEvent, nullptr);
  ASSERT_NE(io.fOvlWrite.hEvent, nullptr);
  EXPECT_EQ(io.fOvlAsync.hEvent, nullptr);
  // Auto-reset and not signalled: a set is consumed by one wait.
  EXPECT_EQ(WaitForSingleObject(io.fOvlRead.hEvent, 0), WAIT_TIMEOUT);
  SetEvent(io.fOvlRead.hEvent);
  EXPECT_EQ(WaitForSingleObject(io.fOvlRead.hEvent, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(io.fOvlRead.hEvent, 0), WAIT_TIMEOUT);
}

TEST_F(BaseIOTest, ActiveOpensAndClosesOnlyOnChange) {
  FakeIO io(nullptr);
  WatchEvents(io);
  io.SetActive(false);  // closed already: nothing, no OnClose
  EXPECT_EQ(events.closed, 0);
  io.SetActive(true);
  io.SetActive(true);  // open already: no second open
  EXPECT_EQ(io.opens, 1);
  EXPECT_EQ(events.opened, 1);
  EXPECT_TRUE(io.GetActive());
  io.SetActive(false);
  EXPECT_FALSE(io.GetActive());
  EXPECT_EQ(io.closes, 1);
  EXPECT_EQ(events.closed, 1);
}

TEST_F(BaseIOTest, FailedOpenStaysClosedAndHandlerErrorsAreDropped) {
  FakeIO io(nullptr);
  io.SetOnOpen(TNotifyEvent::Bind<&EventCounter::Throw>(&events));
  io.SetOnClose(TNotifyEvent::Bind<&EventCounter::Throw>(&events));
  io.can_open = false;
  io.SetActive(true);
  EXPECT_FALSE(io.GetActive());
  io.can_open = true;
  EXPECT_NO_THROW(io.SetActive(true));
  EXPECT_TRUE(io.GetActive());
  EXPECT_NO_THROW(io.SetActive(false));
  EXPECT_FALSE(io.GetActive());
}

TEST_F(BaseIOTest, WritesWhileLoadingAreOnlyStoredUntilTheLoadedStep) {
  FakeIO io(nullptr);
  bool activeDuringLoad = false;
  LoadStored(io, [&] {
    io.SetActive(true);
    activeDuringLoad = io.GetActive();
    EXPECT_EQ(io.opens, 0);
  });
  EXPECT_TRUE(activeDuringLoad);  // reads the stored value while loading
  EXPECT_EQ(io.opens, 1);
  EXPECT_TRUE(io.GetActive());
  io.SetActive(false);
}

TEST_F(BaseIOTest, OpenErrorInTheLoadedStepShowsOneErrorBoxAndLoadingEnds) {
  if (!qztest::CanCaptureMessageBoxes()) GTEST_SKIP() << "MessageBoxW would wait for a person here";
  FakeIO io(nullptr);
  io.open_error = true;
  EXPECT_NO_THROW(LoadStored(io, [&] { io.SetActive(true); }));
  EXPECT_FALSE(io.Loading());
  EXPECT_FALSE(io.GetActive());
  EXPECT_EQ(boxes.Take(), (std::vector<std::u16string>{u"Error|error"}));
}

TEST_F(BaseIOTest, DesignTimeActiveTestsTheOpenAndClosesAgain) {
  FakeIO io(nullptr);
  io.SetDesigning(true);
  io.SetActive(true);
  EXPECT_TRUE(io.GetActive());  // reads the stored result
  EXPECT_FALSE(io.IsOpened());  // never left open
  EXPECT_EQ(io.opens, 1);
  EXPECT_EQ(io.closes, 1);
  io.SetActive(true);  // at design time every write tests again
  EXPECT_EQ(io.opens, 2);

  FakeIO broken(nullptr);
  broken.SetDesigning(true);
  broken.can_open = false;
  broken.SetActive(true);
  EXPECT_FALSE(broken.GetActive());
  EXPECT_EQ(broken.closes, 0);
}

TEST_F(BaseIOTest, FatalErrorRaisesAfterLoggingWithoutPrefix) {
  FakeIO io(nullptr);
  RecordingLog log(nullptr);
  io.SetLog(&log);
  try {
    io.DoFatalError(16, 2, u"Active device is not selected", false);
    FAIL() << "no error raised";
  } catch (const Error& e) {
    EXPECT_EQ(e.Message(), u"Active device is not selected");
  }
  EXPECT_EQ(log.lines, (std::vector<Text>{u"0:Fatal Error: 16, 2, Active device is not selected"}));
}

struct Suppressor {
  int calls = 0;
  Component* sender = nullptr;
  void On(Component* s, std::uint32_t, std::uint32_t, const Text&, bool& raise) {
    ++calls;
    sender = s;
    raise = false;
  }
};

TEST_F(BaseIOTest, SuppressedFatalErrorIsStillLoggedAndReturns) {
  FakeIO io(nullptr);
  RecordingLog log(nullptr);
  io.SetLog(&log);
  Suppressor s;
  io.SetOnFatalError(TOnFatalErrorEvent::Bind<&Suppressor::On>(&s));
  EXPECT_NO_THROW(io.DoFatalError(1, 5, u"x", false));
  EXPECT_EQ(s.calls, 1);
  EXPECT_EQ(s.sender, &io);
  EXPECT_EQ(log.lines.size(), 1u);
  EXPECT_TRUE(boxes.Take().empty());
}

TEST_F(BaseIOTest, ShowOnlyShowsABoxAndLoadingNeitherRaisesNorShows) {
  if (!qztest::CanCaptureMessageBoxes()) GTEST_SKIP() << "MessageBoxW would wait for a person here";
  FakeIO io(nullptr);
  EXPECT_NO_THROW(io.DoFatalError(3, 4, u"device gone", true));
  EXPECT_EQ(boxes.Take(), (std::vector<std::u16string>{u"Error|device gone"}));
  io.BeginLoad();
  EXPECT_NO_THROW(io.DoFatalError(3, 4, u"quiet", false));
  EXPECT_NO_THROW(io.DoFatalError(3, 4, u"quiet", true));
  EXPECT_TRUE(boxes.Take().empty());
}

TEST_F(BaseIOTest, DeviceChangeUpdatesOnlyForPortsAndDeviceTreeChanges) {
  FakeIO io(nullptr);
  DWORD header[3] = {12, 3, 0};  // size, device type, reserved
  const auto send = [&](UINT msg, WPARAM wparam, DWORD type, bool withRecord = true) {
    header[1] = type;
    Message m{msg, wparam, withRecord ? reinterpret_cast<LPARAM>(header) : 0, 77};
    const bool result = io.WMDeviceChange(m);
    EXPECT_EQ(m.Result, 77);  // the message's own result is left alone
    return result;
  };
  EXPECT_TRUE(send(WM_DEVICECHANGE, 0x8000, 3));    // port arrived
  EXPECT_TRUE(send(WM_DEVICECHANGE, 0x8004, 3));    // port removed
  EXPECT_FALSE(send(WM_DEVICECHANGE, 0x8000, 5));   // device interface
  EXPECT_FALSE(send(WM_DEVICECHANGE, 0x8004, 2));   // volume
  EXPECT_TRUE(send(WM_DEVICECHANGE, 0x0007, 99));   // tree changed: LParam not read
  EXPECT_TRUE(send(WM_DEVICECHANGE, 0x0007, 0, false));
  EXPECT_FALSE(send(WM_DEVICECHANGE, 0x8000, 3, false));  // no record: ignored, no crash
  EXPECT_FALSE(send(WM_DEVICECHANGE, 0x8001, 3));   // query remove
  EXPECT_FALSE(send(WM_TIMER, 0x8000, 3));
  EXPECT_EQ(io.updates, 4);
}

TEST_F(BaseIOTest, LogAddUsesThePrefixAndEmptyTextAddsSysInfo) {
  FakeIO io(nullptr);
  io.LogAdd(dlDetail, u"not linked: dropped");
  RecordingLog log(nullptr);
  io.SetLog(&log);
  io.LogAdd(dlDetail, u"open");
  io.LogAdd(dlDebug, u"");
  io.LogAddFmt(dlDebug, u"len %u", {5u});
  io.sLogPrefix = u"qzHID: ";
  io.LogAdd(dlSimple, u"x");
  EXPECT_EQ(log.lines, (std::vector<Text>{u"1:FakeIOopen", u"<sysinfo>", u"2:FakeIOlen 5",
                                          u"0:qzHID: x"}));
}

TEST_F(BaseIOTest, LogIsUnlinkedWhenTheSinkGoesAway) {
  FakeIO io(nullptr);
  auto* log = new RecordingLog(nullptr);
  io.SetLog(log);
  delete log;
  EXPECT_EQ(io.GetLog(), nullptr);
  EXPECT_NO_THROW(io.LogAdd(dlSimple, u"after"));
}

struct Listener {
  std::vector<std::int32_t> codes;
  Component* sender = nullptr;
  void On(Component* s, std::int32_t code) {
    sender = s;
    codes.push_back(code);
  }
};

TEST_F(BaseIOTest, ListenersAreUniqueByMethodAndObjectAndToldOfUpdates) {
  FakeIO io(nullptr);
  Listener a, b;
  io.NotifyAdd(TqzNotifyEvent::Bind<&Listener::On>(&a));
  io.NotifyAdd(TqzNotifyEvent::Bind<&Listener::On>(&a));
  io.NotifyAdd(TqzNotifyEvent::Bind<&Listener::On>(&b));  // same method, another listener
  io.Update();
  io.SetDeviceIndex(7);
  EXPECT_EQ(a.codes, (std::vector<std::int32_t>{3, 3}));
  EXPECT_EQ(a.sender, &io);
  EXPECT_EQ(b.codes, (std::vector<std::int32_t>{3, 3}));
  // b leaving takes out its own entry, not a's.
  io.NotifyDelete(TqzNotifyEvent::Bind<&Listener::On>(&b));
  io.Update();
  EXPECT_EQ(a.codes.size(), 3u);
  EXPECT_EQ(b.codes.size(), 2u);
}

// A linked component that removes its listener when the I/O component goes away.
class LinkedListener : public Component {
 public:
  LinkedListener(TqzBaseIO* io) : Component(nullptr), io_(io) {
    io_->NotifyAdd(TqzNotifyEvent::Bind<&LinkedListener::On>(this));
    io_->FreeNotification(this);
  }
  void On(Component*, std::int32_t) {}
  void Notification(Component* c, Operation op) override {
    if (op == Operation::Remove && c == io_) {
      io_->NotifyDelete(TqzNotifyEvent::Bind<&LinkedListener::On>(this));
      io_ = nullptr;
    }
  }
  TqzBaseIO* io_;
};

TEST_F(BaseIOTest, LinkedComponentRemovesItsListenerSafelyDuringDestruction) {
  auto* io = new FakeIO(nullptr);
  LinkedListener linked(io);
  delete io;  // the listener removal must find the list still alive (checked by sanitizers)
  EXPECT_EQ(linked.io_, nullptr);
}

TEST_F(BaseIOTest, AbstractOperationsThrowAbstractError) {
  TqzBaseIO io(nullptr);
  EXPECT_THROW(io.GetDeviceIndex(), AbstractError);
  EXPECT_THROW(io.GetDeviceList(nullptr), AbstractError);  // loads an empty list
  TqzCustomLogFile log(nullptr);
  EXPECT_THROW(log.AddLogFmt(dlSimple, u"%d", {1}), AbstractError);
}

TEST_F(BaseIOTest, SinkFatalErrorRaisesUnlessSuppressed) {
  TqzCustomLogFile log(nullptr);
  try {
    log.DoFatalError(0, 0, u"x");
    FAIL() << "no error raised";
  } catch (const Error& e) {
    EXPECT_EQ(e.Message(), u"x");
  }
  Suppressor s;
  log.SetOnFatalError(TOnFatalErrorEvent::Bind<&Suppressor::On>(&s));
  EXPECT_NO_THROW(log.DoFatalError(0, 0, u"x"));
  EXPECT_EQ(s.calls, 1);
}

}  // namespace
}  // namespace qz
