// Opening and closing the system's devices through the HID component, with its monitoring
// loop, on a main thread that serves the loop's hand-offs.
#include <windows.h>

#include <gtest/gtest.h>

#include "qzclasses/headless_dispatcher.h"
#include "system_devices.h"

namespace {

class ObservedHid : public qz::TqzHid {
 public:
  using TqzHid::TqzHid;
  bool LoopRunning() const { return fThreadIO && !fThreadIO->Finished(); }
};

struct Events {
  int opens = 0;
  int closes = 0;
  void OnOpen(qz::Component*) { ++opens; }
  void OnClose(qz::Component*) { ++closes; }
};

class SystemOpenClose : public ::testing::Test {
 protected:
  void SetUp() override {
    qz::Dispatcher::Install(&dispatcher_);
    hid_.SetOnOpen(qz::TNotifyEvent::Bind<&Events::OnOpen>(&events_));
    hid_.SetOnClose(qz::TNotifyEvent::Bind<&Events::OnClose>(&events_));
    hid_.DeviceListLoad();
  }
  void TearDown() override { qz::Dispatcher::Install(nullptr); }

  // Makes the virtual device with this product ID current.
  void Select(std::uint16_t productId) {
    for (std::int32_t i = 0; i < hid_.GetDeviceCount(); ++i) {
      auto* record = dynamic_cast<qz::TqzHidDevice*>(hid_.GetDevice(i));
      if (record->VendorId() == qztest::kVirtualVendor && record->ProductId() == productId) {
        hid_.SetDeviceIndex(i);
        return;
      }
    }
    FAIL() << "no virtual device with product ID " << productId;
  }

  qz::HeadlessDispatcher dispatcher_;
  Events events_;
  ObservedHid hid_{nullptr};
};

TEST_F(SystemOpenClose, EachVirtualDeviceOpensAndClosesWithItsEvents) {
  for (std::uint16_t productId : {0x0001, 0x0002}) {
    SCOPED_TRACE(productId);
    events_ = {};
    Select(productId);
    hid_.SetActive(true);
    ASSERT_TRUE(hid_.GetActive());
    EXPECT_TRUE(hid_.IsOpened());
    EXPECT_EQ(events_.opens, 1);
    EXPECT_EQ(hid_.InputReportLength(), hid_.HidDevice()->InputReportLength());
    // Wine's virtual devices open for reading and writing and have input reports (which
    // they never send), so each is watched by a loop whose pending read the close ends.
    // None lacks input reports: a device that runs no loop cannot be met here.
    EXPECT_TRUE(hid_.IsReadMode());
    EXPECT_TRUE(hid_.IsWriteMode());
    EXPECT_GT(hid_.InputReportLength(), 0u);
    EXPECT_TRUE(hid_.LoopRunning());
    hid_.SetActive(false);
    EXPECT_FALSE(hid_.GetActive());
    EXPECT_FALSE(hid_.IsOpened());
    EXPECT_FALSE(hid_.LoopRunning());
    EXPECT_EQ(events_.closes, 1);
  }
}

}  // namespace
