// Loading HID device records from simulated devices: strings and their fall-backs,
// attributes, capability summary and tables, the failure paths and their log lines.
#include <gtest/gtest.h>

#include "qzclasses/errors.h"
#include "qzhid/hid.h"
#include "qzplatform/sim/sim_ground.h"
#include "qzplatform/test_hooks.h"
#include "recording_log.h"

namespace {

using qzplatform::sim::Machine;

// A one-collection vendor device: 8-byte input report, 4-byte output report, no feature.
constexpr const char* kVendorDescriptor =
    "06 00 FF 09 01 A1 01 15 00 26 FF 00 75 08 95 08 09 02 81 02 "
    "95 04 09 03 91 02 C0";

std::string DeviceJson(const std::string& fields) {
  return R"({"devices": [{"name": "dev", "vendor_id": "0x1234", "product_id": "0x5678",
    "version": "0x0110", "report_descriptor": ")" +
         std::string(kVendorDescriptor) + R"(", "enumeration": {"description": "Sim Vendor Device"})" +
         fields + "}]}";
}

class DeviceInfo : public ::testing::Test {
 protected:
  void Use(const std::string& fields) {
    machine = qzplatform::sim::Install(Machine::LoadJson(DeviceJson(fields)));
    record = std::make_unique<qz::TqzHidDevice>();
    record->NameSymbolic = machine->InterfacePath(0);
    record->Description = u"Sim Vendor Device";
    hid.SetLog(&log);
    handles_before = qzplatform::OpenHandleCount();
  }
  void TearDown() override { qzplatform::SetGround(nullptr); }

  std::shared_ptr<Machine> machine;
  testsupport::RecordingLog log;
  qz::TqzHid hid{nullptr};
  std::unique_ptr<qz::TqzHidDevice> record;
  std::size_t handles_before = 0;
};

TEST_F(DeviceInfo, LoadsStringsAttributesCapsAndTables) {
  Use(R"(, "strings": {"product": "Widget", "manufacturer": "Acme Labs", "serial": "SN-0001"})");
  ASSERT_TRUE(hid.LoadDeviceInfo(*record, true));
  EXPECT_EQ(record->NameFriendly, u"Widget");
  EXPECT_EQ(record->Manufacturer, u"Acme Labs");
  EXPECT_EQ(record->SerialNumber, u"SN-0001");
  EXPECT_EQ(record->VendorId(), 0x1234);
  EXPECT_EQ(record->ProductId(), 0x5678);
  EXPECT_EQ(record->Version(), 0x0110);
  EXPECT_EQ(record->UsagePage(), 0xFF00);
  EXPECT_EQ(record->Usage(), 1);
  EXPECT_EQ(record->InputReportLength(), 9u);  // the report ID byte counts
  EXPECT_EQ(record->OutputReportLength(), 5u);
  EXPECT_EQ(record->FeatureReportLength(), 0u);
  ASSERT_EQ(record->InputValuesCount(), 1);
  EXPECT_EQ(record->InputValues(0).NotRange.Usage, 2);
  EXPECT_EQ(record->InputValues(0).ReportCount, 8);
  EXPECT_EQ(record->OutputValues(0).NotRange.Usage, 3);
  EXPECT_EQ(record->fPpd, 0u) << "the preparsed data is released before returning";
  EXPECT_EQ(qzplatform::OpenHandleCount(), handles_before) << "the device handle is closed";

  const std::vector<qz::Text> expected = {
      u"qzHID: Open device OK " + record->NameSymbolic + u" ",
      u"qzHID: ... GetProductString() done",
      u"qzHID: ... GetManufacturerString() done",
      u"qzHID: ... GetSerialNumberString() done",
      u"qzHID: ... GetValueCaps 0 done",
      u"qzHID: ... GetValueCaps 1 done",
  };
  EXPECT_EQ(log.lines, expected);
}

TEST_F(DeviceInfo, ShortOrMissingStringsFallBack) {
  // A two-character product string counts as none; the serial comes from string 3.
  Use(R"(, "strings": {"product": "AB", "indexed": {"3": "IDX-3"}})");
  record->NameFriendly = u"";
  ASSERT_TRUE(hid.LoadDeviceInfo(*record, true));
  EXPECT_EQ(record->NameFriendly, u"Sim Vendor Device");
  EXPECT_EQ(record->SerialNumber, u"IDX-3");
  EXPECT_EQ(record->Manufacturer, u"");
}

TEST_F(DeviceInfo, WithoutStringsTheTablesAreStillLoaded) {
  Use(R"(, "strings": {"product": "Widget"})");
  ASSERT_TRUE(hid.LoadDeviceInfo(*record, false));
  EXPECT_EQ(record->NameFriendly, u"Sim Vendor Device");
  EXPECT_EQ(record->InputValuesCount(), 1);
  EXPECT_FALSE(log.Contains(u"qzHID: ... GetProductString() done"));
}

TEST_F(DeviceInfo, SharingViolationGivesAUsableRecordWithoutCaps) {
  Use(R"(, "behaviour": {"exclusive": true})");
  ASSERT_TRUE(hid.LoadDeviceInfo(*record, true));
  EXPECT_TRUE(log.Contains(u"qzHID: Open device OK " + record->NameSymbolic + u" "));
  EXPECT_EQ(record->NameFriendly, u"Sim Vendor Device");
  EXPECT_EQ(record->VendorId(), 0);
  EXPECT_EQ(record->InputReportLength(), 0u);
  EXPECT_TRUE(record->fCapsInputValues.empty());
}

TEST_F(DeviceInfo, ReloadInExclusiveUseKeepsTheEarlierTables) {
  Use("");
  ASSERT_TRUE(hid.LoadDeviceInfo(*record, false));
  auto behaviour = machine->GetBehaviour(0);
  behaviour.exclusive = true;
  machine->SetBehaviour(0, behaviour);
  ASSERT_TRUE(hid.LoadDeviceInfo(*record, false));
  EXPECT_EQ(record->InputValues(0).NotRange.Usage, 2);
}

TEST_F(DeviceInfo, FailuresAreLoggedAndReleaseEverything) {
  Use(R"(, "behaviour": {"no_preparsed_data": true})");
  EXPECT_FALSE(hid.LoadDeviceInfo(*record, false));
  EXPECT_TRUE(log.Contains(u"qzHID: ERROR: dev.fPpd = 0 "));

  Use(R"(, "behaviour": {"fail_caps": true})");
  EXPECT_FALSE(hid.LoadDeviceInfo(*record, false));
  EXPECT_TRUE(log.Contains(u"qzHID: ERROR: HidP_GetCaps() <> HIDP_STATUS_SUCCESS"));
  EXPECT_EQ(record->fPpd, 0u);
  EXPECT_EQ(qzplatform::OpenHandleCount(), handles_before);
  // Counts a failed query may leave behind never reach past the tables.
  record->fCaps.NumberInputButtonCaps = 4;
  EXPECT_THROW(record->InputButtons(0), qz::RangeError);
}

TEST_F(DeviceInfo, UnreachableDeviceIsRejectedWithTheSystemText) {
  Use("");
  machine->Unplug(0);
  EXPECT_FALSE(hid.LoadDeviceInfo(*record, true));
  EXPECT_TRUE(log.Contains(u"qzHID: Open device FAILED " + record->NameSymbolic +
                           u" 2 The system cannot find the file specified"));
  EXPECT_EQ(record->NameFriendly, u"") << "nothing in the record changed";
}

TEST_F(DeviceInfo, MissingHidLibraryEntryFailsTheLoad) {
  Use("");
  qzplatform::HideEntry(u"HID.DLL", "HidD_GetAttributes");
  EXPECT_FALSE(hid.LoadDeviceInfo(*record, false));
  qzplatform::RevealAll();
  EXPECT_TRUE(log.Contains(u"qzHID: ERROR: not HidD_GetAttributes"));
}

TEST(HidDeviceRecord, CopiesTheEnumeratedIdentityOnly) {
  qz::TqzDevice base;
  base.NameFriendly = u"friendly";
  base.NameSymbolic = u"path";
  base.InstanceId = u"HID\\X";
  base.PortName = u"COM3";
  base.SerialNumber = u"should not copy";
  base.Data = 7;
  base.DevInst = 99;
  base.GuidClass.Data1 = 0x745A17A0;
  qz::TqzHidDevice d(&base);
  EXPECT_EQ(d.NameFriendly, u"friendly");
  EXPECT_EQ(d.NameSymbolic, u"path");
  EXPECT_EQ(d.InstanceId, u"HID\\X");
  EXPECT_EQ(d.PortName, u"COM3");
  EXPECT_EQ(d.DevInst, 99u);
  EXPECT_EQ(d.GuidClass.Data1, 0x745A17A0u);
  EXPECT_EQ(d.SerialNumber, u"");
  EXPECT_EQ(d.Data, 0);
  EXPECT_EQ(d.fAttributes.Size, 10u);
  EXPECT_EQ(d.GetIndex(), 0);
  EXPECT_EQ(d.GetParent(), nullptr);
}

TEST(HidDeviceRecord, TableAccessRangeChecks) {
  qz::TqzHidDevice d;
  d.fCaps.NumberInputButtonCaps = 2;
  d.fCapsInputButtons.assign(2, HIDP_BUTTON_CAPS{});
  d.fCapsInputButtons[1].UsagePage = 9;
  EXPECT_EQ(d.GetButtons(1, 0).UsagePage, 9);
  EXPECT_THROW(d.GetButtons(-1, 0), qz::RangeError);
  EXPECT_THROW(d.GetButtons(2, 0), qz::RangeError);
  EXPECT_THROW(d.GetButtons(0, 3), qz::RangeError);  // no output buttons
  EXPECT_THROW(d.GetValues(0, 7), qz::RangeError);
  try {
    d.GetButtons(0, 6);
    FAIL();
  } catch (const qz::RangeError& e) {
    EXPECT_EQ(e.Message(), u"Index is out of range");
  }
}

TEST(HidDeviceRecord, UsagePageNames) {
  EXPECT_EQ(qz::GetUsagePageName(0), u"Undefined");
  EXPECT_EQ(qz::GetUsagePageName(1), u"Generic");
  EXPECT_EQ(qz::GetUsagePageName(0x0C), u"Consumer");
  EXPECT_EQ(qz::GetUsagePageName(0x0E), u"Unknown");
  EXPECT_EQ(qz::GetUsagePageName(0x10), u"Unicode");
  EXPECT_EQ(qz::GetUsagePageName(0x14), u"Alphanumeric");
  EXPECT_EQ(qz::GetUsagePageName(0x15), u"Unknown");
  EXPECT_EQ(qz::GetUsagePageName(0xFF00), u"Unknown");
}

}  // namespace
