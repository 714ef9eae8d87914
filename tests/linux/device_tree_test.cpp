// The device-installation interface over a fabricated sysfs: what the enumeration of
// the library fills in, relations, hardware keys, and state changes written to the
// sysfs control files.
#include <filesystem>
#include <fstream>

#include "fake_sysfs.h"
#include "qzplatform/ascii_text.h"
#include "qzplatform/hidshared/collection_kind.h"
#include "qzplatform/setupapi.h"
#include "qzwin32di/qzwin32di.h"

namespace linuxtest {
namespace {

using qzplatform::hidshared::kHidInterfaceGuid;

class DeviceTreeTest : public LinuxGroundTest {
 protected:
  void SetUp() override {
    LinuxGroundTest::SetUp();
    qz::FreeSetupApi();
    sysfs_.Add(0, Vendor64Descriptor());
    FakeNode bare;
    bare.number = 1;
    bare.usb.reset();
    bare.name = "Bare Pad";
    bare.vendor = 0x0A0B;
    bare.product = 0x0C0D;
    bare.descriptor = TwoCollectionDescriptor();
    sysfs_.Add(bare);
    FakeNode off;  // unbound: no driver, no node
    off.number = 2;
    off.bound = false;
    off.driver.clear();
    off.product = 0x0004;
    off.descriptor = Vendor64Descriptor();
    sysfs_.Add(off);
  }
  void TearDown() override {
    qz::FreeSetupApi();
    LinuxGroundTest::TearDown();
  }

  qz::TqzDeviceRecords Enumerate(const GUID* guid, bool device_mode, bool interfaces) {
    qz::TqzDeviceRecords list;
    qz::DiEnumInstalledDevices(guid, true, device_mode, interfaces, list);
    return list;
  }
  std::u16string Dev(const std::string& name) const {
    return qzplatform::FromUtf8(sysfs_.roots().dev + "/" + name);
  }
};

TEST_F(DeviceTreeTest, DeviceModeFillsEveryFieldFromSysfs) {
  auto list = Enumerate(&kHidInterfaceGuid, true, true);
  ASSERT_EQ(list.size(), 3u) << "the unbound device has no active interface";
  const qz::TqzDevice& vendor = *list[0].second;
  EXPECT_EQ(list[0].first, u"hid-generic\\0003:1209:0003.0001");
  EXPECT_EQ(vendor.Driver, list[0].first);
  EXPECT_EQ(vendor.Service, u"hid-generic");
  EXPECT_EQ(vendor.Description, u"Acme Widget");
  EXPECT_EQ(vendor.Manufacturer, u"Acme");
  EXPECT_EQ(vendor.InstanceId, u"HID\\VID_1209&PID_0003\\0003:1209:0003.0001");
  EXPECT_EQ(vendor.NameSymbolic, Dev("hidraw0"));
  // The key's kernel name is the control set CurrentControlSet links to.
  EXPECT_EQ(vendor.RegKey,
            u"SYSTEM\\ControlSet001\\Enum\\HID\\VID_1209&PID_0003\\0003:1209:0003.0001"
            u"\\Device Parameters");
  EXPECT_EQ(vendor.NamePDO,
            u"/devices/pci0000:00/0000:00:04.0/usb1/1-1/1-1:1.0/0003:1209:0003.0001");
  EXPECT_NE(vendor.DevInst, 0u);
  EXPECT_EQ(vendor.BusRelations, u"") << "a collection has no children";
  EXPECT_EQ(qzplatform::GuidText(vendor.GuidClass),
            u"{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}");

  const qz::TqzDevice& mouse = *list[1].second;
  EXPECT_EQ(mouse.InstanceId, u"HID\\VID_0A0B&PID_0C0D&COL01\\0003:0A0B:0C0D.0002");
  EXPECT_EQ(mouse.Driver, u"hid-generic\\0003:0A0B:0C0D.0002&COL01");
  EXPECT_EQ(mouse.NameSymbolic, Dev("hidraw1&col01"));
  EXPECT_EQ(mouse.Manufacturer, u"") << "no USB device names a maker";
  EXPECT_EQ(qzplatform::GuidText(mouse.GuidClass),
            u"{4D36E96F-E325-11CE-BFC1-08002BE10318}")
      << "a mouse collection is in the mouse class";
  EXPECT_EQ(list[2].second->NameSymbolic, Dev("hidraw1&col02"));
  EXPECT_NE(list[2].second->DevInst, mouse.DevInst);
}

TEST_F(DeviceTreeTest, InterfaceModeAndBusRelations) {
  auto list = Enumerate(&kHidInterfaceGuid, false, true);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[1].second->NameSymbolic, Dev("hidraw1&col01"));
  EXPECT_EQ(list[1].second->Description, u"Bare Pad");
  EXPECT_EQ(list[1].second->InstanceId, u"") << "interface mode leaves it empty";

  constexpr GUID kUsb = {0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0, 0}};
  auto usb = Enumerate(&kUsb, true, false);
  ASSERT_EQ(usb.size(), 2u) << "the USB parents of the bound and the unbound device";
  EXPECT_EQ(usb[0].second->InstanceId, u"USB\\VID_1209&PID_0003\\SN-0042");
  EXPECT_EQ(usb[0].second->Description, u"Widget");
  EXPECT_EQ(usb[0].second->BusRelations, u"HID\\VID_1209&PID_0003\\0003:1209:0003.0001");
}

// The class installer's calls, in the order the device-state routines make them.
struct SetupApi {
  SetupApi() {
    module = LoadLibraryW(qzplatform::AsWide(std::u16string(u"SetupAPI.dll")));
    auto bind = [&](const char* name, auto& f) {
      f = reinterpret_cast<std::remove_reference_t<decltype(f)>>(
          reinterpret_cast<void*>(GetProcAddress(module, name)));
    };
    bind("SetupDiCreateDeviceInfoList", create);
    bind("SetupDiOpenDeviceInfoW", open);
    bind("SetupDiSetClassInstallParamsW", params);
    bind("SetupDiCallClassInstaller", call);
    bind("SetupDiRemoveDevice", remove);
    bind("SetupDiUnremoveDevice", unremove);
    bind("SetupDiDestroyDeviceInfoList", destroy);
  }
  ~SetupApi() { FreeLibrary(module); }
  // 0, or the last error of the call that failed.
  DWORD Change(const std::u16string& id, DWORD state) {
    HDEVINFO set = create(nullptr, nullptr);
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    DWORD error = 0;
    SP_PROPCHANGE_PARAMS p{};
    p.ClassInstallHeader.cbSize = sizeof p.ClassInstallHeader;
    p.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
    p.StateChange = state;
    p.Scope = DICS_FLAG_CONFIGSPECIFIC;
    if (!open(set, qzplatform::AsWide(id), nullptr, 0, &info) ||
        !params(set, &info, &p.ClassInstallHeader, sizeof p) ||
        !call(DIF_PROPERTYCHANGE, set, &info))
      error = GetLastError();
    destroy(set);
    return error;
  }
  DWORD Removal(const std::u16string& id, bool back) {
    HDEVINFO set = create(nullptr, nullptr);
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    DWORD error = 0;
    if (!open(set, qzplatform::AsWide(id), nullptr, 0, &info) || !remove(set, &info) ||
        (back && !unremove(set, &info)))
      error = GetLastError();
    destroy(set);
    return error;
  }
  HMODULE module;
  PFN_SetupDiCreateDeviceInfoList create;
  PFN_SetupDiOpenDeviceInfoW open;
  PFN_SetupDiSetClassInstallParamsW params;
  PFN_SetupDiCallClassInstaller call;
  PFN_SetupDiRemoveDevice remove;
  PFN_SetupDiUnremoveDevice unremove;
  PFN_SetupDiDestroyDeviceInfoList destroy;
};

TEST_F(DeviceTreeTest, StateChangesBindAndUnbindTheDriver) {
  SetupApi api;
  const std::u16string vendor = u"HID\\VID_1209&PID_0003\\0003:1209:0003.0001";
  EXPECT_EQ(api.Change(vendor, DICS_DISABLE), 0u);
  EXPECT_EQ(sysfs_.Read("bus/hid/drivers/hid-generic/unbind"), "0003:1209:0003.0001");
  EXPECT_EQ(api.Change(vendor, DICS_PROPCHANGE), 0u) << "restart: unbind, then bind";
  EXPECT_EQ(sysfs_.Read("bus/hid/drivers/hid-generic/bind"), "0003:1209:0003.0001");
  EXPECT_EQ(api.Change(vendor, DICS_ENABLE), 0u) << "already bound: nothing to do";

  // An unbound device the ground never saw bound (sysfs gives no descriptor for it):
  // one node without collections, and the kernel picks its driver.
  const std::u16string off = u"HID\\VID_1209&PID_0004\\0003:1209:0004.0003";
  EXPECT_EQ(api.Change(off, DICS_ENABLE), 0u);
  EXPECT_EQ(sysfs_.Read("bus/hid/drivers_probe"), "0003:1209:0004.0003");
  EXPECT_EQ(api.Change(u"HID\\VID_1209&PID_0003\\0003:1209:0003.0009", DICS_DISABLE),
            static_cast<DWORD>(ERROR_NO_SUCH_DEVINST));
}

TEST_F(DeviceTreeTest, AnUnboundDeviceKeepsTheCollectionsLastSeen) {
  EXPECT_EQ(Enumerate(&kHidInterfaceGuid, true, true).size(), 3u);
  // Unbinding as the kernel does it: no driver, no node, an empty descriptor.
  const std::filesystem::path hid = sysfs_.HidDir(1);
  std::filesystem::remove(hid / "driver");
  std::filesystem::remove_all(hid / "hidraw");
  std::filesystem::remove(sysfs_.roots().sysfs + "/class/hidraw/hidraw1");
  std::ofstream(hid / "report_descriptor", std::ios::trunc).flush();
  auto list = Enumerate(&kHidInterfaceGuid, true, true);
  ASSERT_EQ(list.size(), 1u) << "a disabled device has no active interface";
  SetupApi api;
  // Both collections are still device nodes, and enabling one binds the device.
  EXPECT_EQ(api.Change(u"HID\\VID_0A0B&PID_0C0D&COL02\\0003:0A0B:0C0D.0002", DICS_ENABLE), 0u);
  EXPECT_EQ(sysfs_.Read("bus/hid/drivers/hid-generic/bind"), "0003:0A0B:0C0D.0002")
      << "the driver it had before";
}

TEST_F(DeviceTreeTest, ADevicePluggedOrUnpluggedAfterAListingIsSeenByTheNext) {
  ASSERT_EQ(Enumerate(&kHidInterfaceGuid, true, true).size(), 3u);
  FakeNode plugged;
  plugged.number = 3;
  plugged.product = 0x0005;
  plugged.usb->serial = "SN-0043";
  plugged.descriptor = Vendor64Descriptor();
  sysfs_.Add(plugged);
  auto list = Enumerate(&kHidInterfaceGuid, true, true);
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[3].second->NameSymbolic, Dev("hidraw3"));

  // Unplugged: the HID device and its hidraw node leave sysfs.
  std::filesystem::remove(sysfs_.roots().sysfs + "/bus/hid/devices/0003:1209:0003.0001");
  std::filesystem::remove(sysfs_.roots().sysfs + "/class/hidraw/hidraw0");
  list = Enumerate(&kHidInterfaceGuid, true, true);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].second->NameSymbolic, Dev("hidraw1&col01"));
}

TEST_F(DeviceTreeTest, ANodeUnpluggedAfterAListingNoLongerOpens) {
  ASSERT_EQ(Enumerate(&kHidInterfaceGuid, true, true).size(), 3u);
  const std::string node = sysfs_.roots().dev + "/hidraw0";
  EXPECT_EQ(OpenError(node, 0), static_cast<DWORD>(ERROR_SUCCESS));
  std::filesystem::remove(sysfs_.roots().sysfs + "/bus/hid/devices/0003:1209:0003.0001");
  std::filesystem::remove(sysfs_.roots().sysfs + "/class/hidraw/hidraw0");
  EXPECT_EQ(OpenError(node, 0), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(DeviceTreeTest, OnAKernelThatCountsDeviceEventsAPlugIsSeenOnceCounted) {
  const std::string count = sysfs_.roots().sysfs + "/kernel/uevent_seqnum";
  std::filesystem::create_directories(sysfs_.roots().sysfs + "/kernel");
  std::ofstream(count) << "7\n";
  qzplatform::linux_ground::Install(sysfs_.roots());
  ASSERT_EQ(Enumerate(&kHidInterfaceGuid, true, true).size(), 3u);
  FakeNode plugged;
  plugged.number = 3;
  plugged.product = 0x0005;
  plugged.descriptor = Vendor64Descriptor();
  sysfs_.Add(plugged);
  std::ofstream(count) << "9\n";  // the HID device's arrival and its node's
  auto list = Enumerate(&kHidInterfaceGuid, true, true);
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[3].second->NameSymbolic, Dev("hidraw3"));
}

TEST_F(DeviceTreeTest, ControlFilesThatRefuseGiveAccessDenied) {
  SetupApi api;
  const std::string unbind = sysfs_.roots().sysfs + "/bus/hid/drivers/hid-generic/unbind";
  std::filesystem::remove(unbind);
  std::filesystem::create_directory(unbind);  // cannot be written, even by root
  const DWORD error = api.Change(u"HID\\VID_0A0B&PID_0C0D&COL02\\0003:0A0B:0C0D.0002",
                                 DICS_DISABLE);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  WCHAR text[128] = {};
  ASSERT_GT(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error, 0, text, 128, nullptr), 0u);
  EXPECT_EQ(std::u16string(qzplatform::AsChar16(text)), u"Access is denied.\r\n");
}

TEST_F(DeviceTreeTest, RemovalGoesAsFarAsTheBusAllows) {
  SetupApi api;
  EXPECT_EQ(api.Removal(u"HID\\VID_1209&PID_0003\\0003:1209:0003.0001", false), 0u);
  EXPECT_EQ(sysfs_.Read("devices/pci0000:00/0000:00:04.0/usb1/1-1/authorized"), "0");
  EXPECT_EQ(api.Removal(u"HID\\VID_1209&PID_0003\\0003:1209:0003.0001", true), 0u);
  EXPECT_EQ(sysfs_.Read("devices/pci0000:00/0000:00:04.0/usb1/1-1/authorized"), "1");
  EXPECT_EQ(api.Removal(u"HID\\VID_0A0B&PID_0C0D&COL01\\0003:0A0B:0C0D.0002", false),
            static_cast<DWORD>(ERROR_NOT_SUPPORTED))
      << "a device on no removable bus";
}

}  // namespace
}  // namespace linuxtest
