// SetupAPI, cfgmgr32, ntdll and the registry over a small fabricated device tree: what
// sets list, class-install parameters, driver keys, phantoms and key names.
#include <gtest/gtest.h>

#include "qzplatform/hidshared/collection_kind.h"
#include "qzplatform/hidshared/device_tree.h"

namespace {

using namespace qzplatform::hidshared;

constexpr DWORD kClassMismatch = 0xE0000203u;
constexpr DWORD kNoClassInstallParams = 0xE0000215u;

const std::u16string kUsb = u"USB\\VID_1209&PID_0002\\SN1";
const std::u16string kRunning = u"HID\\VID_1209&PID_0002&COL01\\7&1&0&0000";
const std::u16string kStopped = u"HID\\VID_1209&PID_0002&COL02\\7&1&0&0001";
const std::u16string kGone = u"HID\\VID_1209&PID_0003\\7&2&0&0000";

std::u16string HardwareKey(const std::u16string& id) {
  return u"SYSTEM\\CurrentControlSet\\Enum\\" + id + u"\\Device Parameters";
}

struct Change {
  std::u16string id;
  DWORD state, scope;
};

class FakeTree : public DeviceTree {
 public:
  std::vector<DevNode> Snapshot() override {
    ++snapshots;
    DevNode root;
    root.instance_id = u"HTREE\\ROOT\\0";
    root.root = true;
    DevNode usb;
    usb.instance_id = kUsb;
    usb.class_guid = kUsbClassGuid;
    usb.parent = root.instance_id;
    usb.properties = {{SPDRP_DEVICEDESC, u"Widget"}, {SPDRP_SERVICE, u"usbccgp"}};
    usb.hardware_ids = {u"USB\\VID_1209&PID_0002&REV_0100", u"USB\\VID_1209&PID_0002"};
    usb.hardware_key = HardwareKey(kUsb);
    std::vector<DevNode> nodes = {root, usb};
    for (const std::u16string& id : {kRunning, kStopped, kGone}) {
      DevNode hid;
      hid.instance_id = id;
      hid.class_guid = kHidClassGuid;
      hid.parent = kUsb;
      hid.properties = {{SPDRP_DEVICEDESC, u"HID-compliant device"}};
      hid.hardware_key = HardwareKey(id);
      hid.interfaces = {
          {kHidInterfaceGuid, u"\\\\?\\hid#" + id.substr(id.size() - 4), id == kRunning}};
      nodes.push_back(hid);
    }
    nodes[2].properties.push_back({SPDRP_DRIVER, u"{745a17a0-74d3-11d0-b6fe-00a0c90f57da}\\0003"});
    nodes[2].hardware_values = {{u"PortName", REG_SZ, RegSz(u"COM3")}};
    nodes[4].present = false;  // unplugged: a phantom
    if (stopped_gone) nodes.erase(nodes.begin() + 3);
    return nodes;
  }
  std::optional<std::string> StateMark() override { return mark; }
  DWORD ChangeState(const DevNode& node, DWORD state, DWORD scope) override {
    changes.push_back({node.instance_id, state, scope});
    return ERROR_SUCCESS;
  }
  DWORD Remove(const DevNode&) override { return ERROR_NOT_SUPPORTED; }
  DWORD Unremove(const DevNode&) override { return ERROR_NOT_SUPPORTED; }

  std::vector<Change> changes;  // in the order they were asked for
  int snapshots = 0;
  std::optional<std::string> mark;  // none: every call takes a snapshot
  bool stopped_gone = false;        // the stopped collection's node is unplugged
};

class FakeGround : public qzplatform::Ground, public DeviceTreeSource {
 public:
  std::u16string_view Name() const override { return u"fake tree"; }
  std::shared_ptr<qzplatform::FileObject> OpenDevice(std::u16string_view, DWORD, DWORD, DWORD,
                                                     bool* is_device, DWORD* error) override {
    *is_device = false;
    *error = ERROR_FILE_NOT_FOUND;
    return nullptr;
  }
  std::shared_ptr<const qzplatform::Module> FindModule(std::u16string_view name) override {
    return FindTreeModule(name);
  }
  bool GetVersion(OSVERSIONINFOEXW*) override { return false; }
  std::optional<qzplatform::RegistryKeyData> ReadRegistryKey(HKEY root,
                                                             std::u16string_view path) override {
    return ReadTreeKey(*tree, root, path);
  }
  std::shared_ptr<DeviceTree> Devices() override { return tree; }

  std::shared_ptr<FakeTree> tree = std::make_shared<FakeTree>();
};

template <typename F>
F Entry(const std::shared_ptr<const qzplatform::Module>& module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(module->Find(name)));
}

class TreeModules : public ::testing::Test {
 protected:
  void SetUp() override { qzplatform::SetGround(ground); }
  void TearDown() override { qzplatform::SetGround(nullptr); }

  HDEVINFO ClassDevs(const GUID* guid, DWORD flags) {
    return Entry<PFN_SetupDiGetClassDevsW>(SetupApiModule(), "SetupDiGetClassDevsW")(
        guid, nullptr, nullptr, flags);
  }
  std::vector<std::u16string> Members(HDEVINFO set) {
    std::vector<std::u16string> ids;
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    WCHAR id[128];
    for (DWORD i = 0;
         Entry<PFN_SetupDiEnumDeviceInfo>(SetupApiModule(), "SetupDiEnumDeviceInfo")(set, i, &info);
         ++i) {
      EXPECT_TRUE(Entry<PFN_SetupDiGetDeviceInstanceIdW>(
          SetupApiModule(), "SetupDiGetDeviceInstanceIdW")(set, &info, id, 128, nullptr));
      ids.push_back(qzplatform::AsChar16(id));
    }
    return ids;
  }
  // Opens `id` into `set`; FALSE with the last error as the entry leaves it.
  BOOL Open(HDEVINFO set, const std::u16string& id, SP_DEVINFO_DATA* info) {
    info->cbSize = sizeof *info;
    return Entry<PFN_SetupDiOpenDeviceInfoW>(SetupApiModule(), "SetupDiOpenDeviceInfoW")(
        set, qzplatform::AsWide(id), nullptr, 0, info);
  }
  void Destroy(HDEVINFO set) {
    EXPECT_TRUE(Entry<PFN_SetupDiDestroyDeviceInfoList>(SetupApiModule(),
                                                        "SetupDiDestroyDeviceInfoList")(set));
  }

  std::shared_ptr<FakeGround> ground = std::make_shared<FakeGround>();
};

TEST_F(TreeModules, SetsLeaveOutTheRootPhantomsAndInactiveInterfacesWhenPresentOnly) {
  HDEVINFO all = ClassDevs(nullptr, DIGCF_ALLCLASSES);
  EXPECT_EQ(Members(all), (std::vector<std::u16string>{kUsb, kRunning, kStopped, kGone}))
      << "never the root";
  Destroy(all);
  HDEVINFO present = ClassDevs(&kHidClassGuid, DIGCF_PRESENT);
  EXPECT_EQ(Members(present), (std::vector<std::u16string>{kRunning, kStopped}));
  Destroy(present);

  HDEVINFO active = ClassDevs(&kHidInterfaceGuid, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  EXPECT_EQ(Members(active), (std::vector<std::u16string>{kRunning}))
      << "a stopped device has no present interface";
  Destroy(active);
  HDEVINFO installed = ClassDevs(&kHidInterfaceGuid, DIGCF_DEVICEINTERFACE);
  ASSERT_EQ(Members(installed).size(), 3u);
  const auto enum_itf =
      Entry<PFN_SetupDiEnumDeviceInterfaces>(SetupApiModule(), "SetupDiEnumDeviceInterfaces");
  SP_DEVICE_INTERFACE_DATA itf{};
  itf.cbSize = sizeof itf;
  ASSERT_TRUE(enum_itf(installed, nullptr, &kHidInterfaceGuid, 0, &itf));
  EXPECT_EQ(itf.Flags, static_cast<DWORD>(SPINT_ACTIVE));
  ASSERT_TRUE(enum_itf(installed, nullptr, &kHidInterfaceGuid, 1, &itf));
  EXPECT_EQ(itf.Flags, 0u) << "listed, but not active";
  Destroy(installed);
}

TEST_F(TreeModules, ClassInstallParametersOfTheSetReachTheTree) {
  HDEVINFO set = Entry<PFN_SetupDiCreateDeviceInfoList>(
      SetupApiModule(), "SetupDiCreateDeviceInfoList")(nullptr, nullptr);
  SP_DEVINFO_DATA info{};
  ASSERT_TRUE(Open(set, kRunning, &info));
  const auto call =
      Entry<PFN_SetupDiCallClassInstaller>(SetupApiModule(), "SetupDiCallClassInstaller");
  const auto params =
      Entry<PFN_SetupDiSetClassInstallParamsW>(SetupApiModule(), "SetupDiSetClassInstallParamsW");
  EXPECT_FALSE(call(DIF_PROPERTYCHANGE, set, &info));
  EXPECT_EQ(GetLastError(), kNoClassInstallParams);

  SP_PROPCHANGE_PARAMS p{};
  p.ClassInstallHeader.cbSize = sizeof p.ClassInstallHeader;
  p.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
  p.StateChange = DICS_DISABLE;
  p.Scope = DICS_FLAG_CONFIGSPECIFIC;
  ASSERT_TRUE(params(set, nullptr, &p.ClassInstallHeader, sizeof p)) << "for the whole set";
  EXPECT_TRUE(call(DIF_PROPERTYCHANGE, set, &info));
  ASSERT_EQ(ground->tree->changes.size(), 1u);
  EXPECT_EQ(ground->tree->changes[0].id, kRunning);
  EXPECT_EQ(ground->tree->changes[0].state, static_cast<DWORD>(DICS_DISABLE));
  EXPECT_EQ(ground->tree->changes[0].scope, static_cast<DWORD>(DICS_FLAG_CONFIGSPECIFIC));

  p.Scope = 7;
  ASSERT_TRUE(params(set, &info, &p.ClassInstallHeader, sizeof p)) << "the device's own win";
  EXPECT_FALSE(call(DIF_PROPERTYCHANGE, set, &info));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(call(DIF_PROPERTYCHANGE, set, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  p.ClassInstallHeader.cbSize = sizeof p;  // the whole record's size, a common mistake
  EXPECT_FALSE(params(set, &info, &p.ClassInstallHeader, sizeof p));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
  EXPECT_EQ(ground->tree->changes.size(), 1u);
  Destroy(set);
}

TEST_F(TreeModules, OpeningChecksTheSetsClassAndNeverOpensTheRoot) {
  HDEVINFO usb_only = Entry<PFN_SetupDiCreateDeviceInfoList>(
      SetupApiModule(), "SetupDiCreateDeviceInfoList")(&kUsbClassGuid, nullptr);
  SP_DEVINFO_DATA info{};
  EXPECT_TRUE(Open(usb_only, kUsb, &info));
  EXPECT_FALSE(Open(usb_only, kRunning, &info));
  EXPECT_EQ(GetLastError(), kClassMismatch);
  EXPECT_FALSE(Open(usb_only, u"HTREE\\ROOT\\0", &info));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_DEVINST));
  EXPECT_TRUE(Open(usb_only, u"usb\\vid_1209&pid_0002\\sn1", &info)) << "IDs ignore case";
  EXPECT_EQ(Members(usb_only), (std::vector<std::u16string>{kUsb})) << "opened once";
  Destroy(usb_only);
}

TEST_F(TreeModules, KeysAreNamedInControlSet001AndDriverKeysOpen) {
  HDEVINFO set = ClassDevs(&kHidClassGuid, DIGCF_PRESENT);
  SP_DEVINFO_DATA info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(
      Entry<PFN_SetupDiEnumDeviceInfo>(SetupApiModule(), "SetupDiEnumDeviceInfo")(set, 0, &info));
  const auto open_key = Entry<PFN_SetupDiOpenDevRegKey>(SetupApiModule(), "SetupDiOpenDevRegKey");
  const auto query = Entry<PFN_ZwQueryKey>(NtdllModule(), "ZwQueryKey");
  const HKEY invalid = reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);

  HKEY key = open_key(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
  ASSERT_NE(key, invalid);
  const std::u16string name =
      u"\\REGISTRY\\MACHINE\\SYSTEM\\ControlSet001\\Enum\\" + kRunning + u"\\Device Parameters";
  std::vector<BYTE> block(512, 0xCC);
  ULONG needed = 0;
  ASSERT_EQ(query(key, KeyNameInformation, block.data(), 512, &needed), STATUS_SUCCESS);
  auto* out = reinterpret_cast<KEY_NAME_INFORMATION*>(block.data());
  EXPECT_EQ(out->NameLength, name.size() * 2);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(out->Name), name.size()), name);
  // A short buffer gets the length and as much of the name as fits.
  std::vector<BYTE> shorter(4 + 20, 0xCC);
  EXPECT_EQ(query(key, KeyNameInformation, shorter.data(), 24, &needed), STATUS_BUFFER_OVERFLOW);
  EXPECT_EQ(needed, 4 + name.size() * 2);
  EXPECT_EQ(reinterpret_cast<KEY_NAME_INFORMATION*>(shorter.data())->NameLength, name.size() * 2);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(shorter.data() + 4), 10),
            name.substr(0, 10));
  RegCloseKey(key);

  key = open_key(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
  ASSERT_NE(key, invalid);
  ASSERT_EQ(query(key, KeyNameInformation, block.data(), 512, &needed), STATUS_SUCCESS);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(out->Name), out->NameLength / 2),
            u"\\REGISTRY\\MACHINE\\SYSTEM\\ControlSet001\\Control\\Class\\"
            u"{745a17a0-74d3-11d0-b6fe-00a0c90f57da}\\0003");
  RegCloseKey(key);
  EXPECT_EQ(open_key(set, &info, 9, 0, DIREG_DEV, KEY_READ), invalid);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  ASSERT_TRUE(
      Entry<PFN_SetupDiEnumDeviceInfo>(SetupApiModule(), "SetupDiEnumDeviceInfo")(set, 1, &info));
  EXPECT_EQ(open_key(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ), invalid)
      << "no driver installed";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  Destroy(set);

  // The hardware key's values, and the device's Enum key with its properties.
  auto hardware = ReadTreeKey(*ground->tree, HKEY_LOCAL_MACHINE, HardwareKey(kRunning));
  ASSERT_TRUE(hardware);
  ASSERT_EQ(hardware->values.size(), 1u);
  EXPECT_EQ(hardware->values[0].name, u"PortName");
  auto device =
      ReadTreeKey(*ground->tree, HKEY_LOCAL_MACHINE, u"system\\controlset001\\enum\\" + kUsb);
  ASSERT_TRUE(device);
  EXPECT_EQ(device->kernel_name, u"\\REGISTRY\\MACHINE\\SYSTEM\\ControlSet001\\Enum\\" + kUsb);
  auto ids = std::find_if(device->values.begin(), device->values.end(),
                          [](const auto& v) { return v.name == u"HardwareID"; });
  ASSERT_NE(ids, device->values.end());
  EXPECT_EQ(ids->type, static_cast<DWORD>(REG_MULTI_SZ));
  EXPECT_EQ(ReadTreeKey(*ground->tree, HKEY_LOCAL_MACHINE, u"SYSTEM\\ControlSet001\\Enum\\USB")
                ->values.size(),
            0u)
      << "a key on the way exists without values";
  EXPECT_FALSE(ReadTreeKey(*ground->tree, HKEY_LOCAL_MACHINE, u"SYSTEM\\ControlSet001\\Enum\\PCI"));
  EXPECT_FALSE(ReadTreeKey(*ground->tree, HKEY_CURRENT_USER, HardwareKey(kRunning)));
}

TEST_F(TreeModules, TheConfigurationManagerWalksPresentNodesAndFindsPhantomsOnRequest) {
  const auto cfg = CfgMgrModule();
  const auto locate = Entry<PFN_CM_Locate_DevNodeW>(cfg, "CM_Locate_DevNodeW");
  const auto child = Entry<PFN_CM_Get_Child>(cfg, "CM_Get_Child");
  const auto sibling = Entry<PFN_CM_Get_Sibling>(cfg, "CM_Get_Sibling");
  const auto property =
      Entry<PFN_CM_Get_DevNode_Registry_PropertyW>(cfg, "CM_Get_DevNode_Registry_PropertyW");
  const auto list_size = Entry<PFN_CM_Get_Device_ID_List_SizeW>(cfg, "CM_Get_Device_ID_List_SizeW");
  EXPECT_EQ(SetupApiModule()->Find("CM_Get_Child"), cfg->Find("CM_Get_Child"))
      << "SetupAPI.dll exports the configuration manager's entries too";

  std::u16string gone_id = kGone;
  DEVINST root = 0, usb = 0, first = 0, next = 0, gone = 0;
  ASSERT_EQ(locate(&root, nullptr, 0), CR_SUCCESS);
  ASSERT_EQ(child(&usb, root, 0), CR_SUCCESS);
  ASSERT_EQ(child(&first, usb, 0), CR_SUCCESS);
  ASSERT_EQ(sibling(&next, first, 0), CR_SUCCESS);
  EXPECT_EQ(sibling(&gone, next, 0), CR_NO_SUCH_DEVNODE) << "the phantom is not in the tree";
  EXPECT_EQ(locate(&gone, qzplatform::AsWide(gone_id.data()), 0), CR_NO_SUCH_DEVNODE);
  EXPECT_EQ(locate(&gone, qzplatform::AsWide(gone_id.data()), CM_LOCATE_DEVNODE_PHANTOM),
            CR_SUCCESS);
  EXPECT_EQ(child(&next, gone, 0), CR_NO_SUCH_DEVNODE);
  EXPECT_EQ(locate(&gone, nullptr, 0x100), CR_INVALID_FLAG);
  EXPECT_EQ(child(&next, first, 1), CR_INVALID_FLAG);

  BYTE buffer[256];
  ULONG type = 0, length = sizeof buffer;
  ASSERT_EQ(property(usb, SPDRP_HARDWAREID + 1, &type, buffer, &length, 0), CR_SUCCESS);
  EXPECT_EQ(type, static_cast<ULONG>(REG_MULTI_SZ));
  EXPECT_EQ(length, (30 + 1 + 21 + 1 + 1) * 2u);
  length = sizeof buffer;
  ASSERT_EQ(property(usb, SPDRP_CLASS + 1, &type, buffer, &length, 0), CR_SUCCESS);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(buffer)), u"USB");
  length = sizeof buffer;
  EXPECT_EQ(property(0x7FFFFFF, SPDRP_CLASS + 1, &type, buffer, &length, 0), CR_INVALID_DEVNODE);
  length = 8;
  EXPECT_EQ(property(usb, SPDRP_CLASS + 1, &type, nullptr, &length, 0), CR_INVALID_POINTER);
  length = sizeof buffer;
  EXPECT_EQ(property(root, SPDRP_CLASS + 1, &type, buffer, &length, 0), CR_NO_SUCH_VALUE);
  EXPECT_EQ(length, 0u);

  ULONG size = 0;
  ASSERT_EQ(list_size(&size, qzplatform::AsWide(kUsb), CM_GETIDLIST_FILTER_BUSRELATIONS),
            CR_SUCCESS);
  EXPECT_EQ(size, kRunning.size() + 1 + kStopped.size() + 1 + 1) << "present children only";
  EXPECT_EQ(list_size(&size, qzplatform::AsWide(kGone), CM_GETIDLIST_FILTER_BUSRELATIONS),
            CR_NO_SUCH_DEVNODE);
  EXPECT_EQ(
      list_size(&size, nullptr, CM_GETIDLIST_FILTER_BUSRELATIONS | CM_GETIDLIST_FILTER_SERVICE),
      CR_INVALID_FLAG);
  ASSERT_EQ(
      list_size(&size, qzplatform::AsWide(std::u16string(u"UsbCcgp")), CM_GETIDLIST_FILTER_SERVICE),
      CR_SUCCESS);
  EXPECT_EQ(size, kUsb.size() + 2);
}

TEST_F(TreeModules, OneSnapshotServesEveryCallUntilTheTreesMarkChanges) {
  FakeTree& tree = *ground->tree;
  tree.mark = "1";
  const auto key = Entry<PFN_SetupDiOpenDevRegKey>(SetupApiModule(), "SetupDiOpenDevRegKey");
  const auto list_size = Entry<PFN_CM_Get_Device_ID_List_SizeW>(CfgMgrModule(),
                                                                 "CM_Get_Device_ID_List_SizeW");
  HDEVINFO set = ClassDevs(&kHidClassGuid, DIGCF_PRESENT);
  SP_DEVINFO_DATA info{};
  info.cbSize = sizeof info;
  for (DWORD i = 0;
       Entry<PFN_SetupDiEnumDeviceInfo>(SetupApiModule(), "SetupDiEnumDeviceInfo")(set, i, &info);
       ++i) {
    HKEY hardware = key(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    ASSERT_NE(hardware, reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE));
    EXPECT_EQ(RegCloseKey(hardware), ERROR_SUCCESS);
    ULONG length = 0;
    EXPECT_EQ(
        list_size(&length, qzplatform::AsWide(kUsb.c_str()), CM_GETIDLIST_FILTER_BUSRELATIONS),
        CR_SUCCESS);
  }
  Destroy(set);
  EXPECT_EQ(tree.snapshots, 1) << "the listing's calls share one snapshot";

  tree.stopped_gone = true;
  tree.mark = "2";
  HDEVINFO after = ClassDevs(&kHidClassGuid, DIGCF_PRESENT);
  EXPECT_EQ(Members(after), (std::vector<std::u16string>{kRunning})) << "the change is seen";
  Destroy(after);
  EXPECT_EQ(tree.snapshots, 2);
}

}  // namespace
