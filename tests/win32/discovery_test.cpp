// Discovery against the system's own device-installation interface and HID.DLL: both
// enumeration modes, both list kinds, and the records' identity and capabilities.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "qzwin32di/qzwin32di.h"
#include "system_devices.h"

namespace {

using qz::TqzHid;
using qz::TqzHidDevice;

std::set<std::uint16_t> ProductIds(const std::vector<TqzHidDevice*>& records) {
  std::set<std::uint16_t> ids;
  for (const TqzHidDevice* record : records) ids.insert(record->ProductId());
  return ids;
}

TEST(SystemDiscovery, BothEnumerationModesListTheVirtualMouseAndKeyboard) {
  for (bool fullMode : {false, true}) {
    SCOPED_TRACE(fullMode ? "EnumFullMode" : "without EnumFullMode");
    TqzHid hid(nullptr);
    hid.SetEnumFullMode(fullMode);
    hid.DeviceListLoad();
    const auto records = qztest::VirtualDevices(hid);
    EXPECT_EQ(ProductIds(records), (std::set<std::uint16_t>{0x0001, 0x0002}));
    for (const TqzHidDevice* record : records) {
      SCOPED_TRACE(qz::TextToAnsi(record->NameSymbolic));
      EXPECT_EQ(record->UsagePage(), 0x01);  // generic desktop: mouse (2) or keyboard (6)
      EXPECT_TRUE(record->Usage() == 0x02 || record->Usage() == 0x06) << record->Usage();
      EXPECT_FALSE(record->InstanceId.empty());
      EXPECT_FALSE(record->NameFriendly.empty());
    }
  }
}

// Device mode walks the devices and names each by its first HID interface; interface mode
// walks the interfaces. Both reach the same interface paths.
TEST(SystemDiscovery, DeviceAndInterfaceListsNameTheSameInterfaces) {
  GUID hidGuid{};
  qz::HidD_GetHidGuid(hidGuid);
  ASSERT_EQ(hidGuid.Data1, 0x4D1E55B2u);
  std::set<qz::Text> byDevice, byInterface;
  for (bool deviceMode : {true, false}) {
    qz::TqzDeviceRecords list;
    qz::DiEnumInstalledDevices(&hidGuid, true, deviceMode, true, list);
    ASSERT_FALSE(list.empty());
    for (auto& entry : list) {
      qz::Text path = entry.second->NameSymbolic;
      std::transform(path.begin(), path.end(), path.begin(),
                     [](char16_t c) { return c >= u'A' && c <= u'Z' ? c + 32 : c; });
      if (path.find(u"vid_845e") == qz::Text::npos) continue;
      (deviceMode ? byDevice : byInterface).insert(path);
      if (deviceMode) {
        EXPECT_FALSE(entry.second->InstanceId.empty()) << qz::TextToAnsi(path);
      }
    }
  }
  EXPECT_EQ(byDevice.size(), 2u);
  EXPECT_EQ(byDevice, byInterface);
}

// What LoadDeviceInfo puts in a record is what HID.DLL gives for the same interface.
TEST(SystemDiscovery, LoadedRecordsHoldWhatTheSystemGives) {
  const qztest::SystemHid system;
  TqzHid hid(nullptr);
  hid.SetEnumFullMode(true);
  hid.DeviceListLoad();
  const auto records = qztest::VirtualDevices(hid);
  ASSERT_EQ(records.size(), 2u);
  for (const TqzHidDevice* record : records) {
    SCOPED_TRACE(qz::TextToAnsi(record->NameSymbolic));
    qztest::SystemHid::Facts facts;
    ASSERT_TRUE(system.Read(qzplatform::AsWide(record->NameSymbolic), facts));
    EXPECT_EQ(record->VendorId(), facts.attributes.VendorID);
    EXPECT_EQ(record->ProductId(), facts.attributes.ProductID);
    EXPECT_EQ(record->Version(), facts.attributes.VersionNumber);
    EXPECT_EQ(std::memcmp(&record->fCaps, &facts.caps, sizeof facts.caps), 0);
    ASSERT_EQ(record->InputButtonsCount(), facts.inputButtons.size());
    for (std::size_t i = 0; i < facts.inputButtons.size(); ++i)
      EXPECT_EQ(std::memcmp(&record->fCapsInputButtons[i], &facts.inputButtons[i],
                            sizeof(HIDP_BUTTON_CAPS)), 0) << "input button caps " << i;
    ASSERT_EQ(record->InputValuesCount(), facts.inputValues.size());
    for (std::size_t i = 0; i < facts.inputValues.size(); ++i)
      EXPECT_EQ(std::memcmp(&record->fCapsInputValues[i], &facts.inputValues[i],
                            sizeof(HIDP_VALUE_CAPS)), 0) << "input value caps " << i;
    // Full mode names the record by the device's product string when it has one.
    if (facts.product.size() >= 3) {
      EXPECT_EQ(qz::TextToAnsi(record->NameFriendly),
                qz::TextToAnsi(qz::Text(qzplatform::AsChar16(facts.product.c_str()))));
    }
  }
}

}  // namespace
