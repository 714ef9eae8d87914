// The sim ground's SetupAPI and configuration manager called directly: record size
// checks, buffer sizes, the device tree's shape, and what the hardware key holds.
#include <cstring>

#include "enumeration_fixture.h"
#include "qzsysutils/qzsysutils.h"

namespace w32ditest {
namespace {

using qzplatform::sim::kHidInterfaceGuid;

class SimSetupApi : public Enumeration {
 protected:
  void SetUp() override {
    Enumeration::SetUp();
    Load(R"({"devices": [{"name": "keypad", "vendor_id": "0x1209", "product_id": "0x0010", )" +
         std::string(kTwoCollections) + "}]}");
    ASSERT_TRUE(qz::LoadSetupApi());
    set = api().SetupDiGetClassDevsW(&kHidInterfaceGuid, nullptr, nullptr,
                                     DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    info.cbSize = sizeof info;
    ASSERT_TRUE(api().SetupDiEnumDeviceInfo(set, 0, &info));
  }
  void TearDown() override {
    EXPECT_TRUE(api().SetupDiDestroyDeviceInfoList(set));
    Enumeration::TearDown();
  }
  static const qz::SetupApiEntries& api() { return qz::SetupApi(); }

  HDEVINFO set = INVALID_HANDLE_VALUE;
  SP_DEVINFO_DATA info{};
};

TEST_F(SimSetupApi, RecordsWithTheWrongSizeAreRefused) {
  SP_DEVINFO_DATA wrong{};
  wrong.cbSize = sizeof wrong - 4;
  EXPECT_FALSE(api().SetupDiEnumDeviceInfo(set, 0, &wrong));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_USER_BUFFER);
  SP_DEVICE_INTERFACE_DATA itf{};
  itf.cbSize = sizeof itf;
  ASSERT_TRUE(api().SetupDiEnumDeviceInterfaces(set, &info, &kHidInterfaceGuid, 0, &itf));
  EXPECT_EQ(itf.Flags, SPINT_ACTIVE);
  DWORD required = 0;
  EXPECT_FALSE(api().SetupDiGetDeviceInterfaceDetailW(set, &itf, nullptr, 0, &required, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  const std::u16string path = machine->InterfacePath(0, 0);
  EXPECT_EQ(required, sizeof(DWORD) + (path.size() + 1) * 2);
  std::vector<DWORD> block(required / 4 + 1, 0);
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(block.data());
  detail->cbSize = required;  // the whole block's size, a common mistake
  EXPECT_FALSE(
      api().SetupDiGetDeviceInterfaceDetailW(set, &itf, detail, required, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_USER_BUFFER);
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
  EXPECT_FALSE(
      api().SetupDiGetDeviceInterfaceDetailW(set, &itf, detail, required - 2, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  ASSERT_TRUE(
      api().SetupDiGetDeviceInterfaceDetailW(set, &itf, detail, required, nullptr, nullptr));
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(detail->DevicePath)), path);
  // The second collection is the set's second member and has its own interface.
  EXPECT_FALSE(api().SetupDiEnumDeviceInterfaces(set, &info, &kHidInterfaceGuid, 1, &itf));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
  EXPECT_TRUE(api().SetupDiEnumDeviceInterfaces(set, nullptr, &kHidInterfaceGuid, 1, &itf));
  EXPECT_FALSE(api().SetupDiEnumDeviceInfo(set, 2, &info));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
}

TEST_F(SimSetupApi, PropertiesReportTheirSizeWhenTheBufferIsShort) {
  BYTE small[8] = {};
  DWORD required = 0;
  DWORD type = 0;
  EXPECT_FALSE(api().SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_DEVICEDESC, &type, small,
                                                       sizeof small, &required));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(required, (std::u16string(u"HID Keyboard Device").size() + 1) * 2);
  EXPECT_EQ(type, REG_SZ);
  // A property the device lacks.
  EXPECT_FALSE(api().SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_FRIENDLYNAME, nullptr,
                                                       nullptr, 0, &required));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
  EXPECT_EQ(qz::DiGetDeviceProperty(set, info, SPDRP_CLASS), u"Keyboard");
  EXPECT_EQ(qz::DiGetDeviceProperty(set, info, SPDRP_ENUMERATOR_NAME), u"HID");
  // The hardware IDs are a list; the property routine takes its first string.
  EXPECT_EQ(qz::DiGetDeviceProperty(set, info, SPDRP_HARDWAREID),
            u"HID\\VID_1209&PID_0010&REV_0000&Col01");
}

TEST_F(SimSetupApi, TheTreeIsRootThenUsbDeviceThenCollections) {
  const auto collections = machine->Interfaces();
  DEVINST usb = 0, root = 0, first = 0, second = 0, none = 0;
  ASSERT_EQ(api().CM_Get_Parent(&usb, info.DevInst, 0), CR_SUCCESS);
  ASSERT_EQ(api().CM_Get_Parent(&root, usb, 0), CR_SUCCESS);
  EXPECT_EQ(api().CM_Get_Parent(&none, root, 0), CR_NO_SUCH_DEVNODE);
  DEVINST located = 0;
  ASSERT_EQ(api().CM_Locate_DevNodeW(&located, nullptr, 0), CR_SUCCESS);
  EXPECT_EQ(located, root);
  ASSERT_EQ(api().CM_Get_Child(&first, usb, 0), CR_SUCCESS);
  EXPECT_EQ(first, info.DevInst);
  ASSERT_EQ(api().CM_Get_Sibling(&second, first, 0), CR_SUCCESS);
  EXPECT_EQ(api().CM_Get_Sibling(&none, second, 0), CR_NO_SUCH_DEVNODE);
  std::u16string id = collections[1].instance_id;
  ASSERT_EQ(api().CM_Locate_DevNodeW(&located, qzplatform::AsWide(id.data()), 0), CR_SUCCESS);
  EXPECT_EQ(located, second);

  WCHAR name[64] = {};
  ULONG length = sizeof name;
  ASSERT_EQ(api().CM_Get_DevNode_Registry_PropertyW(usb, CM_DRP_SERVICE, nullptr, name, &length, 0),
            CR_SUCCESS);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(name)), u"HidUsb");
  EXPECT_EQ(qz::DiGetDeviceIdList(u"USB\\VID_1209&PID_0010\\6&2C3D4E5F&0&1", u";", true),
            collections[0].instance_id + u";" + collections[1].instance_id);
  // Removal relations are not modelled: none.
  EXPECT_EQ(qz::DiGetDeviceIdList(u"USB\\VID_1209&PID_0010\\6&2C3D4E5F&0&1", u";", false), u"");
  EXPECT_EQ(qz::DiGetDeviceIdList(u"USB\\NO\\SUCH", u";", true), u"");

  // An unplugged device leaves the tree but can still be found as a phantom.
  machine->Unplug(0);
  EXPECT_EQ(api().CM_Locate_DevNodeW(&located, qzplatform::AsWide(id.data()), 0),
            CR_NO_SUCH_DEVNODE);
  EXPECT_EQ(
      api().CM_Locate_DevNodeW(&located, qzplatform::AsWide(id.data()), CM_LOCATE_DEVNODE_PHANTOM),
      CR_SUCCESS);
  EXPECT_EQ(api().CM_Get_Child(&none, usb, 0), CR_NO_SUCH_DEVNODE);
}

TEST_F(SimSetupApi, TheHardwareKeyIsBelowTheDevicesEnumKey) {
  HKEY key =
      api().SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
  ASSERT_NE(key, reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE));
  HKEY root = nullptr;
  const std::u16string id = machine->Interfaces()[0].instance_id;
  EXPECT_EQ(qz::GetRegKeyPath(key, nullptr),
            u"\\REGISTRY\\MACHINE\\SYSTEM\\ControlSet001\\Enum\\" + id + u"\\Device Parameters");
  EXPECT_EQ(qz::GetRegKeyPath(key, &root),
            u"SYSTEM\\ControlSet001\\Enum\\" + id + u"\\Device Parameters");
  EXPECT_EQ(root, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  // CurrentControlSet names ControlSet001; names ignore case; the device key has values.
  const std::u16string enum_key = u"system\\currentcontrolset\\ENUM\\" + id;
  EXPECT_EQ(qz::RegReadString(HKEY_LOCAL_MACHINE, enum_key, u"DeviceDesc"), u"HID Keyboard Device");
  EXPECT_EQ(qz::RegReadString(HKEY_LOCAL_MACHINE, enum_key, u"Service"), u"kbdhid");
  // The driver key.
  key = api().SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
  ASSERT_NE(key, reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE));
  EXPECT_NE(qz::GetRegKeyPath(key, nullptr).find(u"\\Control\\Class\\{"), std::u16string::npos);
  RegCloseKey(key);
}

TEST_F(SimSetupApi, DevicesAreOpenedByInstanceIdIntoAnEmptySet) {
  HDEVINFO own = api().SetupDiCreateDeviceInfoList(nullptr, nullptr);
  ASSERT_NE(own, INVALID_HANDLE_VALUE);
  SP_DEVINFO_DATA opened{};
  opened.cbSize = sizeof opened;
  std::u16string id = machine->Interfaces()[1].instance_id;
  ASSERT_TRUE(
      api().SetupDiOpenDeviceInfoW(own, qzplatform::AsWide(id.data()), nullptr, 0, &opened));
  EXPECT_EQ(qz::DiGetDeviceProperty(own, opened, SPDRP_DEVICEDESC),
            u"HID-compliant consumer control device");
  std::u16string bad = u"HID\\NO\\SUCH";
  EXPECT_FALSE(
      api().SetupDiOpenDeviceInfoW(own, qzplatform::AsWide(bad.data()), nullptr, 0, &opened));
  EXPECT_EQ(GetLastError(), ERROR_NO_SUCH_DEVINST);
  EXPECT_TRUE(api().SetupDiDestroyDeviceInfoList(own));
  EXPECT_FALSE(api().SetupDiDestroyDeviceInfoList(own));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

}  // namespace
}  // namespace w32ditest
