// The run-time binding: missing library, missing required and optional entries, the
// configuration manager's fall-back to cfgmgr32.dll, and retrying after a failure.
#include "enumeration_fixture.h"

namespace w32ditest {
namespace {

using qzplatform::sim::kHidInterfaceGuid;

using Binding = Enumeration;

// Every entry the binding must have, by member.
bool AllRequiredSet(const qz::SetupApiEntries& e) {
  return e.SetupDiGetClassDevsW && e.SetupDiDestroyDeviceInfoList && e.SetupDiEnumDeviceInfo &&
         e.SetupDiGetDeviceRegistryPropertyW && e.SetupDiOpenDevRegKey &&
         e.SetupDiEnumDeviceInterfaces && e.SetupDiGetDeviceInterfaceDetailW &&
         e.SetupDiCreateDeviceInfoList && e.SetupDiCreateDeviceInfoW && e.SetupDiGetINFClassW &&
         e.SetupDiSetDeviceRegistryPropertyW && e.SetupDiCallClassInstaller &&
         e.SetupDiGetDeviceInstanceIdW && e.SetupDiSetClassInstallParamsW && e.CM_Locate_DevNodeW &&
         e.CM_Get_DevNode_Registry_PropertyW && e.CM_Get_Parent && e.CM_Get_Device_ID_List_SizeW &&
         e.CM_Get_Device_ID_ListW && e.CM_Get_Child && e.CM_Get_Sibling;
}

bool NothingSet(const qz::SetupApiEntries& e) {
  return !e.SetupDiGetClassDevsW && !e.SetupDiOpenDeviceInfoW && !e.CM_Locate_DevNodeW &&
         !e.CM_Get_Sibling && !e.SetupDiSetClassInstallParamsW;
}

TEST_F(Binding, BindsEveryRequiredEntryUnderItsWideName) {
  UseDefault();
  EXPECT_TRUE(NothingSet(qz::SetupApi()));
  ASSERT_TRUE(qz::LoadSetupApi());
  EXPECT_TRUE(AllRequiredSet(qz::SetupApi()));
  EXPECT_NE(qz::SetupApi().SetupDiOpenDeviceInfoW, nullptr);
  // The binding stays: hiding the library now changes nothing.
  qzplatform::HideModule(u"SetupAPI.dll");
  EXPECT_TRUE(qz::LoadSetupApi());
  EXPECT_EQ(EnumHid().size(), 4u);
}

TEST_F(Binding, AMissingLibraryGivesNothingAndIsRetried) {
  UseDefault();
  qzplatform::HideModule(u"SetupAPI.dll");
  qz::TqzDeviceRecords list;
  list.emplace_back(u"kept", nullptr);
  qz::DiEnumInstalledDevices(&kHidInterfaceGuid, true, true, true, list);
  qz::DiEnumInstalledDevices(&kHidInterfaceGuid, true, false, true, list);
  EXPECT_EQ(list.size(), 1u);
  EXPECT_FALSE(qz::LoadSetupApi());
  EXPECT_TRUE(NothingSet(qz::SetupApi()));
  EXPECT_EQ(qz::DiGetDeviceIdList(u"HTREE\\ROOT\\0", u";", true), u"");
  SP_DEVINFO_DATA info{};
  EXPECT_EQ(qz::DiGetDeviceProperty(INVALID_HANDLE_VALUE, info, SPDRP_DRIVER), u"");

  qzplatform::RevealAll();
  qz::DiEnumInstalledDevices(&kHidInterfaceGuid, true, true, true, list);
  EXPECT_EQ(list.size(), 5u);
}

TEST_F(Binding, AnyMissingRequiredEntryFailsTheBindingEvenOneNothingCalls) {
  UseDefault();
  for (const char* entry : {"SetupDiGetClassDevsW", "SetupDiGetINFClassW", "CM_Get_Sibling",
                            "SetupDiSetClassInstallParamsW"}) {
    SCOPED_TRACE(entry);
    qzplatform::HideEntry(u"SetupAPI.dll", entry);
    EXPECT_FALSE(qz::LoadSetupApi());
    EXPECT_TRUE(NothingSet(qz::SetupApi())) << "a failed attempt leaves nothing behind";
    EXPECT_TRUE(EnumHid().empty());
    qzplatform::RevealAll();
    EXPECT_TRUE(qz::LoadSetupApi());  // and the next call binds
    qz::FreeSetupApi();
  }
}

TEST_F(Binding, OptionalEntriesMayBeMissing) {
  UseDefault();
  qzplatform::HideEntry(u"SetupAPI.dll", "SetupDiOpenDeviceInfoW");
  qzplatform::HideEntry(u"SetupAPI.dll", "SetupDiRemoveDevice");
  qzplatform::HideEntry(u"SetupAPI.dll", "CM_Request_Device_EjectW");
  ASSERT_TRUE(qz::LoadSetupApi());
  EXPECT_EQ(qz::SetupApi().SetupDiOpenDeviceInfoW, nullptr);
  EXPECT_EQ(qz::SetupApi().SetupDiRemoveDevice, nullptr);
  EXPECT_EQ(qz::SetupApi().CM_Request_Device_EjectW, nullptr);
  EXPECT_EQ(EnumHid().size(), 4u);
}

TEST_F(Binding, TheConfigurationManagerFallsBackToCfgmgr32) {
  Load(R"({"devices": [{"name": "keypad", "vendor_id": "0x1209", "product_id": "0x0010", )" +
       std::string(kTwoCollections) + "}]}");
  // SetupAPI.dll without CM_Locate_DevNodeW: all configuration-manager entries come
  // from cfgmgr32.dll, so a list entry missing only in SetupAPI.dll does not matter.
  qzplatform::HideEntry(u"SetupAPI.dll", "CM_Locate_DevNodeW");
  qzplatform::HideEntry(u"SetupAPI.dll", "CM_Get_Device_ID_ListW");
  ASSERT_TRUE(qz::LoadSetupApi());
  EXPECT_TRUE(AllRequiredSet(qz::SetupApi()));
  const auto collections = machine->Interfaces();
  const auto list = Enum(&qzplatform::sim::kHidClassGuid, true, true, false);
  ASSERT_FALSE(list.empty());
  EXPECT_EQ(list[0].second->BusRelations,
            collections[0].instance_id + u";" + collections[1].instance_id);
}

TEST_F(Binding, TheFallBackNeedsCfgmgr32AndItsEntries) {
  UseDefault();
  qzplatform::HideEntry(u"SetupAPI.dll", "CM_Locate_DevNodeW");
  qzplatform::HideModule(u"cfgmgr32.dll");
  EXPECT_FALSE(qz::LoadSetupApi());
  qzplatform::RevealAll();

  // Found in SetupAPI.dll, entries 19 to 25 are looked up there only.
  qzplatform::HideEntry(u"cfgmgr32.dll", "CM_Get_Child");
  EXPECT_TRUE(qz::LoadSetupApi());
  qz::FreeSetupApi();

  // Taken from cfgmgr32.dll, they must all be there.
  qzplatform::HideEntry(u"SetupAPI.dll", "CM_Locate_DevNodeW");
  EXPECT_FALSE(qz::LoadSetupApi());
  EXPECT_TRUE(EnumHid().empty());
}

}  // namespace
}  // namespace w32ditest
