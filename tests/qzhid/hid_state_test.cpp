// The HID component's device-state methods: what they log, what they hand on, and an
// open device that a disable makes its monitoring loop close.
#include "hid_fixture.h"
#include "qzclasses/errors.h"
#include "qzplatform/setupapi.h"

namespace hidtest {
namespace {

class HidState : public HidTest {
 protected:
  void SetUp() override {
    HidTest::SetUp();
    Load(VendorMachine({"", ""}));
    Record(0)->NameFriendly = u"Vendor Pad";
  }
  qz::Text Line(const char16_t* what) const {
    return u"qzHID: " + qz::Text(what) + u"Vendor Pad | " + Record(0)->InstanceId;
  }
};

TEST_F(HidState, WithoutACurrentDeviceNothingIsLoggedOrChanged) {
  hid->SetDeviceIndex(-1);
  ASSERT_EQ(hid->HidDevice(), nullptr);
  hid->Disable();
  hid->Enable();
  hid->Remove();
  hid->Reset();
  hid->Restart();
  EXPECT_TRUE(log.Lines().empty());
  EXPECT_TRUE(machine->TakePropertyChanges().empty());
  EXPECT_FALSE(machine->NodeRemoved(0, 0));
}

TEST_F(HidState, EachMethodLogsTheRecordAndChangesItsDevice) {
  hid->Disable();
  EXPECT_EQ(log.Lines(), (std::vector<qz::Text>{Line(u"Disable HID device:")}));
  EXPECT_FALSE(machine->NodeEnabled(0, 0));
  EXPECT_TRUE(machine->NodeEnabled(1, 0));  // only the current device
  hid->Enable();
  EXPECT_TRUE(machine->NodeEnabled(0, 0));
  hid->Restart();
  const auto changes = machine->TakePropertyChanges();
  ASSERT_EQ(changes.size(), 4u);
  EXPECT_EQ(changes.back().state, DICS_PROPCHANGE);
  EXPECT_EQ(changes.back().instance_id, Record(0)->InstanceId);
  hid->Remove();
  EXPECT_TRUE(machine->NodeRemoved(0, 0));
  EXPECT_EQ(log.Lines(),
            (std::vector<qz::Text>{Line(u"Disable HID device:"), Line(u"Enable HID device:"),
                                   Line(u"Restart HID device:"), Line(u"Remove HID device:")}));
}

TEST_F(HidState, DisablingAnOpenDeviceMakesItsLoopCloseIt) {
  hid->SetOnClose(events.Close());
  Open();
  ASSERT_TRUE(WaitFor([&] { return hid->LoopRunning(); }));
  const std::int32_t count = hid->GetDeviceCount();
  hid->Disable();
  EXPECT_TRUE(WaitFor([&] { return !hid->GetActive() && !hid->LoopRunning(); }));
  EXPECT_EQ(events.closes(), 1);
  EXPECT_EQ(hid->GetDeviceCount(), count);  // the record stays until the next discovery
  EXPECT_EQ(hid->GetDeviceIndex(), 0);
  // Opening fails while it is disabled; enabled, it opens again.
  EXPECT_THROW(hid->SetActive(true), qz::Error);
  hid->Enable();
  Open();
  hid->SetActive(false);
}

TEST_F(HidState, RestartingAnOpenDeviceClosesItToo) {
  Open();
  ASSERT_TRUE(WaitFor([&] { return hid->LoopRunning(); }));
  hid->Restart();
  EXPECT_TRUE(WaitFor([&] { return !hid->GetActive(); }));
  Open();  // the device itself is back at once
  hid->SetActive(false);
}

TEST_F(HidState, AnUnknownDeviceRaisesFromTheStateChangesOnly) {
  Record(0)->InstanceId = u"HID\\VID_0000&PID_0000\\9";
  try {
    hid->Disable();
    FAIL() << "no exception";
  } catch (const qz::Error& e) {
    EXPECT_EQ(e.Message(), u"E000020B");
  }
  EXPECT_EQ(log.Lines(), (std::vector<qz::Text>{Line(u"Disable HID device:")}));
  EXPECT_THROW(hid->Enable(), qz::Error);
  EXPECT_THROW(hid->Restart(), qz::Error);
  EXPECT_NO_THROW(hid->Remove());
  EXPECT_NO_THROW(hid->Reset());
  EXPECT_EQ(log.Lines().size(), 5u);
  EXPECT_TRUE(machine->NodeEnabled(0, 0));
}

}  // namespace
}  // namespace hidtest
