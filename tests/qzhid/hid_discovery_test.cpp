// Discovery of HID interfaces through the device-installation interface of the
// simulated machine: the list, its names and log, failing devices, the selection kept
// by index across reloads, and reloads while a device is open.
#include "hid_fixture.h"

namespace hidtest {
namespace {

class HidDiscovery : public HidTest {
 protected:
  // The machine and an empty component with the log linked.
  void Start(const std::string& json) {
    machine = qzplatform::sim::Install(qzplatform::sim::Machine::LoadJson(json));
    hid = std::make_unique<TestHid>(nullptr);
    hid->SetLog(&log);
    hid->NotifyAdd(qz::TqzNotifyEvent::Bind<&HidDiscovery::OnNotify>(this));
    preparsed_before = qzplatform::hidshared::LivePreparsedCount();
  }
  void OnNotify(qz::Component*, std::int32_t code) {
    notices.push_back(code);
    if (on_notify) on_notify();
  }
  std::vector<qz::Text> Names() const {
    qz::TqzDeviceList list;
    hid->GetDeviceList(&list);
    std::vector<qz::Text> names;
    for (const auto& [text, record] : list) names.push_back(text);
    return names;
  }
  std::vector<std::int32_t> notices;
  std::function<void()> on_notify;
};

TEST_F(HidDiscovery, ListsEveryInterfaceInOrderUnderItsDescription) {
  Start(VendorMachine({"", "", ""}));
  hid->Update();
  ASSERT_EQ(hid->GetDeviceCount(), 3);
  EXPECT_EQ(Names(), (std::vector<qz::Text>{u"Sim Vendor Device 0", u"Sim Vendor Device 1",
                                            u"Sim Vendor Device 2"}));
  for (std::int32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(Record(i)->NameSymbolic, machine->InterfacePath(static_cast<std::size_t>(i)));
    EXPECT_EQ(Record(i)->InputReportLength(), 9u);
    EXPECT_EQ(Record(i)->fPpd, 0u);
  }
  EXPECT_EQ(hid->GetDeviceIndex(), 0);
  EXPECT_EQ(hid->HidDevice(), Record(0));
  // The restored selection and Update each tell the listeners.
  EXPECT_EQ(notices, (std::vector<std::int32_t>{3, 3}));

  const auto lines = log.Lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], u"qzHID: DeviceListLoad ...");
  EXPECT_EQ(lines[1], u"qzHID: Get detail info for device (intf) list: 3 ");
  EXPECT_EQ(lines.back(), u"qzHID: Detected devices: 3 ");
  EXPECT_TRUE(log.Contains(u"qzHID: Load device info: Sim Vendor Device 2  OK!"));
  EXPECT_EQ(qzplatform::hidshared::LivePreparsedCount(), preparsed_before);
}

TEST_F(HidDiscovery, FullModeNamesDevicesByTheirProductStrings) {
  Start(VendorMachine({"", ""}));
  hid->SetEnumFullMode(true);
  hid->Update();
  EXPECT_EQ(Names(), (std::vector<qz::Text>{u"Vendor 0", u"Vendor 1"}));
}

TEST_F(HidDiscovery, DevicesThatCannotBeLoadedAreLeftOut) {
  Start(VendorMachine({"", "", ""}));
  // The three go away between enumeration and loading: none opens for queries.
  log.on_line = [&](const qz::Text& line) {
    if (line == u"qzHID: Get detail info for device (intf) list: 3 ")
      for (std::size_t i = 0; i < 3; ++i) machine->Unplug(i);
  };
  hid->Update();
  log.on_line = nullptr;
  EXPECT_EQ(hid->GetDeviceCount(), 0);
  EXPECT_EQ(hid->HidDevice(), nullptr);
  EXPECT_EQ(log.Count(u"qzHID: Load device info:   FAILED!"), 3u);
  EXPECT_EQ(log.Lines().back(), u"qzHID: Detected devices: 0 ");

  // Devices whose preparsed data cannot be had fail later, under their description.
  qzplatform::sim::Behaviour no_data;
  no_data.no_preparsed_data = true;
  for (std::size_t i = 0; i < 3; ++i) {
    machine->Replug(i);
    machine->SetBehaviour(i, no_data);
  }
  hid->Update();
  EXPECT_EQ(hid->GetDeviceCount(), 0);
  EXPECT_TRUE(log.Contains(u"qzHID: Load device info: Sim Vendor Device 1  FAILED!"));
  EXPECT_EQ(qzplatform::hidshared::LivePreparsedCount(), preparsed_before);
}

TEST_F(HidDiscovery, NothingFoundByDeviceTriesInterfacesOnly) {
  Start(VendorMachine({R"("unplugged": true)"}));
  hid->Update();
  EXPECT_EQ(log.Lines(),
            (std::vector<qz::Text>{u"qzHID: DeviceListLoad ...",
                                   u"qzHID: DiEnumInstalledDevices() returns 0, trying enum "
                                   u"interfaces only ...",
                                   u"qzHID: Get detail info for device (intf) list: 0 ",
                                   u"qzHID: Detected devices: 0 "}));
  EXPECT_EQ(notices, std::vector<std::int32_t>{3}) << "only Update's own notice";
}

TEST_F(HidDiscovery, SelectionSurvivesAReloadAsANumber) {
  Start(VendorMachine({"", "", ""}));
  hid->Update();
  hid->SetDeviceIndex(2);
  EXPECT_EQ(hid->HidDevice(), Record(2));
  machine->Unplug(0);
  machine->Unplug(1);
  hid->Update();
  EXPECT_EQ(hid->GetDeviceCount(), 1);
  EXPECT_EQ(hid->GetDeviceIndex(), 2);
  EXPECT_EQ(hid->HidDevice(), nullptr) << "the freed record is not kept";
  machine->Replug(0);
  machine->Replug(1);
  hid->Update();
  ASSERT_NE(hid->HidDevice(), nullptr);
  EXPECT_EQ(hid->HidDevice()->NameSymbolic, machine->InterfacePath(2));

  hid->SetDeviceIndex(-1);
  EXPECT_EQ(hid->HidDevice(), nullptr);
  hid->SetDeviceIndex(hid->GetDeviceCount());
  EXPECT_EQ(hid->HidDevice(), nullptr);
  EXPECT_EQ(hid->GetDeviceIndex(), 3);
}

TEST_F(HidDiscovery, NestedUpdatesDoNothing) {
  Start(VendorMachine({""}));
  // The first notice comes from inside the discovery, when the selection is restored.
  on_notify = [&] {
    if (notices.size() == 1) hid->Update();
  };
  hid->Update();
  EXPECT_EQ(log.Count(u"qzHID: DeviceListLoad ..."), 1u);
  EXPECT_EQ(notices, (std::vector<std::int32_t>{3, 3}));
  EXPECT_EQ(hid->GetDeviceCount(), 1);
}

TEST_F(HidDiscovery, UpdateDeviceDetailsReadsTheStringsOfTheCurrentRecord) {
  Start(VendorMachine({"", ""}));
  hid->SetDeviceIndex(-1);
  hid->UpdateDeviceDetails();
  EXPECT_TRUE(log.Lines().empty()) << "nothing without a current record";
  hid->Update();
  hid->SetDeviceIndex(1);
  EXPECT_EQ(Record(1)->NameFriendly, u"Sim Vendor Device 1");
  hid->UpdateDeviceDetails();
  EXPECT_EQ(Record(1)->NameFriendly, u"Vendor 1");
  EXPECT_EQ(Names()[1], u"Sim Vendor Device 1") << "the list's text stays";
}

TEST_F(HidDiscovery, ReloadWhileOpenKeepsTheOpensPreparsedDataOnItsNewRecord) {
  Start(VendorMachine({"", ""}));
  hid->SetOnAfterReceive(receiver.Handler());
  hid->Update();
  hid->SetDeviceIndex(1);
  Open();
  const qz::PreparsedHandle ppd = Record(1)->fPpd;
  ASSERT_NE(ppd, 0u);

  // Device 0 goes: the open device now stands at index 0, the selection at 1 is empty.
  machine->Unplug(0);
  hid->Update();
  ASSERT_EQ(hid->GetDeviceCount(), 1);
  EXPECT_EQ(hid->HidDevice(), nullptr);
  EXPECT_EQ(Record(0)->fPpd, ppd);
  ASSERT_TRUE(machine->PushInput(1, {0, 1}));
  ASSERT_TRUE(WaitFor([&] { return receiver.Count() == 1; }));
  EXPECT_TRUE(hid->GetActive());

  hid->SetActive(false);
  EXPECT_EQ(Record(0)->fPpd, 0u);
  EXPECT_EQ(qzplatform::hidshared::LivePreparsedCount(), preparsed_before);

  // Reloaded at the same place while open, and closed by the loop after it.
  hid->SetDeviceIndex(0);
  Open();
  hid->Update();
  EXPECT_NE(Record(0)->fPpd, 0u);
  machine->Unplug(1);
  ASSERT_TRUE(WaitFor([&] { return !hid->GetActive() && !hid->LoopRunning(); }));
  EXPECT_EQ(Record(0)->fPpd, 0u);
  EXPECT_EQ(qzplatform::hidshared::LivePreparsedCount(), preparsed_before);
}

}  // namespace
}  // namespace hidtest
