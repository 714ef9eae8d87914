// Enumeration on the default machine and on a two-collection device: what each mode
// fills, the USB parent with its bus relations, present-only and the list's order.
#include "enumeration_fixture.h"

namespace w32ditest {
namespace {

using qz::TqzDevice;
using qzplatform::sim::kHidClassGuid;
using qzplatform::sim::kHidInterfaceGuid;

const std::u16string kHidClassText = u"{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}";

TEST_F(Enumeration, DeviceModeFillsEveryFieldOfEachHidInterface) {
  UseDefault();
  const auto interfaces = machine->Interfaces();
  const auto list = EnumHid();
  ASSERT_EQ(list.size(), interfaces.size());
  ASSERT_EQ(list.size(), 4u);
  for (std::size_t i = 0; i < list.size(); ++i) {
    SCOPED_TRACE(interfaces[i].device_name);
    const TqzDevice& d = *list[i].second;
    EXPECT_EQ(list[i].first, d.Driver);
    EXPECT_EQ(d.Driver, interfaces[i].driver);
    EXPECT_EQ(d.Service, interfaces[i].service);
    EXPECT_EQ(d.Description, interfaces[i].description);
    EXPECT_EQ(d.Manufacturer, u"(Standard system devices)");
    EXPECT_EQ(d.GuidClass, interfaces[i].class_guid);
    EXPECT_EQ(d.NamePDO.rfind(u"\\Device\\", 0), 0u) << "PDO name";
    EXPECT_EQ(d.NamePDO.size(), 16u);
    EXPECT_EQ(d.InstanceId, interfaces[i].instance_id);
    EXPECT_NE(d.DevInst, 0u);
    EXPECT_EQ(d.RegKey, u"SYSTEM\\ControlSet001\\Enum\\" + interfaces[i].instance_id +
                            u"\\Device Parameters");
    EXPECT_EQ(d.NameSymbolic, interfaces[i].path);  // the interface path replaces the key's
    EXPECT_EQ(d.BusRelations, u"");                 // collections have no children
    EXPECT_EQ(d.PortName, u"");
    // What enumeration never fills keeps its initial value.
    EXPECT_EQ(d.NameFriendly, u"");
    EXPECT_EQ(d.NameDeviceDos, u"");
    EXPECT_EQ(d.SerialNumber, u"");
    EXPECT_EQ(d.Handle, 0u);
    EXPECT_EQ(d.Data, 0);
    EXPECT_EQ(d.DataEx, 0);
    EXPECT_EQ(d.GetIndex(), 0);
    EXPECT_EQ(d.GetParent(), nullptr);
  }
  EXPECT_EQ(list[0].second->Description, u"HID-compliant mouse");
  EXPECT_EQ(list[0].second->Service, u"mouhid");
  EXPECT_EQ(list[2].second->Description, u"HID-compliant vendor-defined device");
  EXPECT_EQ(list[2].second->Service, u"");  // the vendor collection has no service
  EXPECT_EQ(list[2].second->GuidClass, kHidClassGuid);
  // Distinct device nodes.
  EXPECT_NE(list[0].second->DevInst, list[1].second->DevInst);
  EXPECT_NE(list[0].second->NamePDO, list[1].second->NamePDO);
}

TEST_F(Enumeration, EveryPathFoundNamesADeviceCreateFileReaches) {
  UseDefault();
  const std::size_t gamepad = machine->FindDevice("gamepad");
  for (const auto& [driver, d] : EnumHid()) {
    SCOPED_TRACE(qzplatform::ToUtf8(d->NameSymbolic));
    HANDLE h = CreateFileW(qzplatform::AsWide(d->NameSymbolic), 0,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (d->NameSymbolic == machine->InterfacePath(gamepad)) {
      EXPECT_EQ(h, INVALID_HANDLE_VALUE);  // in exclusive use elsewhere, but there
      EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    } else {
      EXPECT_NE(h, INVALID_HANDLE_VALUE);
    }
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
}

TEST_F(Enumeration, InterfaceOnlyModeFillsThePropertiesAndThePathOnly) {
  UseDefault();
  const auto interfaces = machine->Interfaces();
  const auto list = EnumHid(false);
  ASSERT_EQ(list.size(), interfaces.size());
  for (std::size_t i = 0; i < list.size(); ++i) {
    SCOPED_TRACE(interfaces[i].device_name);
    const TqzDevice& d = *list[i].second;
    EXPECT_EQ(list[i].first, interfaces[i].driver);
    EXPECT_EQ(d.Driver, interfaces[i].driver);
    EXPECT_EQ(d.Service, interfaces[i].service);
    EXPECT_EQ(d.Description, interfaces[i].description);
    EXPECT_EQ(d.Manufacturer, interfaces[i].manufacturer);
    EXPECT_FALSE(d.NamePDO.empty());
    EXPECT_EQ(d.GuidClass, interfaces[i].class_guid);
    EXPECT_EQ(d.NameSymbolic, interfaces[i].path);
    // Interface-only mode reads neither the hardware key nor the instance.
    EXPECT_EQ(d.RegKey, u"");
    EXPECT_EQ(d.PortName, u"");
    EXPECT_EQ(d.InstanceId, u"");
    EXPECT_EQ(d.BusRelations, u"");
    EXPECT_EQ(d.DevInst, 0u);
  }
}

TEST_F(Enumeration, TheHidSetupClassListsTheUsbParentsWithTheirBusRelations) {
  Load(R"({"devices": [{"name": "keypad", "vendor_id": "0x1209", "product_id": "0x0010",
    "version": "0x0100", "strings": {"serial": "KP-0001"}, )" +
       std::string(kTwoCollections) + "}]}");
  const auto collections = machine->Interfaces();
  ASSERT_EQ(collections.size(), 2u);
  const auto list = Enum(&kHidClassGuid, true, true, false);
  // The USB device node and the consumer-control collection are in the HID class;
  // the keyboard collection is in the Keyboard class.
  ASSERT_EQ(list.size(), 2u);
  const TqzDevice& usb = *list[0].second;
  EXPECT_EQ(usb.InstanceId, u"USB\\VID_1209&PID_0010\\KP-0001");
  EXPECT_EQ(usb.Description, u"USB Input Device");
  EXPECT_EQ(usb.Service, u"HidUsb");
  EXPECT_EQ(usb.Manufacturer, u"(Standard system devices)");
  EXPECT_EQ(usb.NamePDO, u"\\Device\\USBPDO-1");
  EXPECT_EQ(usb.Driver.rfind(kHidClassText + u"\\", 0), 0u);
  EXPECT_EQ(usb.GuidClass, kHidClassGuid);
  EXPECT_EQ(usb.BusRelations, collections[0].instance_id + u";" + collections[1].instance_id);
  EXPECT_EQ(usb.RegKey,
            u"SYSTEM\\ControlSet001\\Enum\\USB\\VID_1209&PID_0010\\KP-0001\\Device Parameters");
  // Without interfaces the key's SymbolicName stays.
  EXPECT_EQ(usb.NameSymbolic,
            u"\\??\\USB#VID_1209&PID_0010#KP-0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
  const TqzDevice& consumer = *list[1].second;
  EXPECT_EQ(consumer.InstanceId, collections[1].instance_id);
  EXPECT_EQ(consumer.Description, u"HID-compliant consumer control device");
  EXPECT_EQ(consumer.NameSymbolic, u"");  // a collection's hardware key has no SymbolicName
  EXPECT_NE(usb.Driver, consumer.Driver);
}

TEST_F(Enumeration, EachCollectionOfAMultiCollectionDeviceIsOneRecordInBothModes) {
  Load(R"({"devices": [{"name": "keypad", "vendor_id": "0x1209", "product_id": "0x0010", )" +
       std::string(kTwoCollections) + "}]}");
  const auto collections = machine->Interfaces();
  for (bool deviceMode : {true, false}) {
    SCOPED_TRACE(deviceMode ? "device mode" : "interface-only mode");
    const auto list = EnumHid(deviceMode);
    ASSERT_EQ(list.size(), 2u);
    for (std::size_t c = 0; c < 2; ++c) {
      EXPECT_EQ(list[c].second->NameSymbolic, collections[c].path);
      EXPECT_EQ(list[c].second->Description, collections[c].description);
      EXPECT_EQ(list[c].second->InstanceId, deviceMode ? collections[c].instance_id : u"");
    }
    EXPECT_EQ(list[0].second->Description, u"HID Keyboard Device");
  }
}

TEST_F(Enumeration, PresentOnlyLeavesAnUnpluggedDeviceOut) {
  UseDefault();
  const std::size_t echo = machine->FindDevice("echo");
  const std::u16string echo_path = machine->InterfacePath(echo);
  machine->Unplug(echo);

  auto present = EnumHid();
  EXPECT_EQ(present.size(), 3u);
  EXPECT_EQ(FindRecord(present, &TqzDevice::NameSymbolic, echo_path), nullptr);
  EXPECT_EQ(EnumHid(false).size(), 3u);

  // Without present-only the unplugged device is listed: installed, but with no device
  // object and no place in the tree.
  auto all = Enum(&kHidInterfaceGuid, false, true, true);
  ASSERT_EQ(all.size(), 4u);
  const TqzDevice* gone = FindRecord(all, &TqzDevice::NameSymbolic, echo_path);
  ASSERT_NE(gone, nullptr);
  EXPECT_EQ(gone->NamePDO, u"");
  EXPECT_EQ(gone->Description, u"HID-compliant vendor-defined device");
  EXPECT_FALSE(gone->InstanceId.empty());
  EXPECT_FALSE(gone->RegKey.empty());

  // The unplugged USB parent keeps its identity but has no bus relations.
  auto parents = Enum(&kHidClassGuid, false, true, false);
  const TqzDevice* usb = FindRecord(parents, &TqzDevice::InstanceId,
                                    std::u16string(u"USB\\VID_1209&PID_0003\\SIM-0003-0001"));
  ASSERT_NE(usb, nullptr);
  EXPECT_EQ(usb->BusRelations, u"");

  machine->Replug(echo);
  EXPECT_EQ(EnumHid().size(), 4u);
}

TEST_F(Enumeration, EntriesAlreadyListedStayInFrontInTheirOrder) {
  UseDefault();
  qz::TqzDeviceRecords list;
  list.emplace_back(u"first", std::make_unique<TqzDevice>());
  list.emplace_back(u"second", nullptr);
  qz::DiEnumInstalledDevices(&kHidInterfaceGuid, true, true, true, list);
  ASSERT_EQ(list.size(), 6u);
  EXPECT_EQ(list[0].first, u"first");
  EXPECT_EQ(list[1].first, u"second");
  EXPECT_EQ(list[1].second, nullptr);
  EXPECT_EQ(list[2].second->NameSymbolic, machine->InterfacePath(0));
}

TEST_F(Enumeration, PortNameComesFromTheHardwareKey) {
  Load(OneDevice(std::string(kVendorDescriptor) + R"(, "enumeration": {"port_name": "COM7"})"));
  auto list = EnumHid();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].second->PortName, u"COM7");
  EXPECT_EQ(EnumHid(false)[0].second->PortName, u"");
}

TEST_F(Enumeration, AllClassesFindsNoInterfaceSoSymbolicNameComesFromTheKey) {
  UseDefault();
  // Every device node: four USB parents and four collections.
  auto nodes = Enum(nullptr, true, true, false);
  EXPECT_EQ(nodes.size(), 8u);
  // Nodes with an interface of any class are the four collections; the interface step
  // needs a class, so NameSymbolic is the key's value, which collections lack.
  auto with = Enum(nullptr, true, true, true);
  ASSERT_EQ(with.size(), 4u);
  for (const auto& [driver, d] : with) {
    EXPECT_EQ(d->NameSymbolic, u"");
    EXPECT_FALSE(d->InstanceId.empty());
  }
  const TqzDevice* usb = FindRecord(nodes, &TqzDevice::InstanceId,
                                    std::u16string(u"USB\\VID_1209&PID_0004\\SIM-0004-0001"));
  ASSERT_NE(usb, nullptr);
  EXPECT_EQ(usb->NameSymbolic,
            u"\\??\\USB#VID_1209&PID_0004#SIM-0004-0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
  EXPECT_EQ(usb->BusRelations, machine->Interfaces()[3].instance_id);
  // A device without a serial number gets a generated instance.
  EXPECT_NE(FindRecord(nodes, &TqzDevice::InstanceId,
                       std::u16string(u"USB\\VID_1209&PID_0001\\6&2C3D4E5F&0&1")),
            nullptr);
  // Interface-only mode with no class lists nothing.
  EXPECT_TRUE(Enum(nullptr, true, false, true).empty());
}

TEST_F(Enumeration, LeavesNoSetOrKeyOpen) {
  UseDefault();
  ASSERT_TRUE(qz::LoadSetupApi());
  const std::size_t before = qzplatform::OpenHandleCount();
  EXPECT_EQ(EnumHid().size(), 4u);
  EXPECT_EQ(EnumHid(false).size(), 4u);
  EXPECT_EQ(Enum(&kHidClassGuid, false, true, false).size(), 6u);
  EXPECT_EQ(qzplatform::OpenHandleCount(), before);
}

}  // namespace
}  // namespace w32ditest
