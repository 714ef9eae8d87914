// Enumeration at the limits: the 255-character property buffer, the 256-character
// instance ID buffer, and failures that leave the list unchanged.
#include "enumeration_fixture.h"

namespace w32ditest {
namespace {

using qzplatform::sim::kHidInterfaceGuid;

std::string WithDescription(std::size_t length) {
  return OneDevice(std::string(kVendorDescriptor) + R"(, "enumeration": {"description": ")" +
                   std::string(length, 'd') + R"("})");
}

std::string WithInstanceId(std::size_t length) {
  const std::string head = "HID\\\\VID_1234&PID_5678\\\\";  // JSON escapes
  const std::size_t fixed = 22;                             // characters of the head
  return OneDevice(std::string(kVendorDescriptor) + R"(, "enumeration": {"instance_id": ")" + head +
                   std::string(length - fixed, 'i') + R"("})");
}

TEST_F(Enumeration, APropertyOfMoreThan255CharactersIsEmpty) {
  Load(WithDescription(255));
  auto list = EnumHid();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].second->Description, std::u16string(255, u'd'));

  Load(WithDescription(256));
  list = EnumHid();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].second->Description, u"");
  EXPECT_FALSE(list[0].second->Driver.empty());  // the other properties are read
}

TEST_F(Enumeration, AnInstanceIdOf256CharactersLeavesTheInstanceFieldsUnset) {
  Load(WithInstanceId(255));
  auto list = EnumHid();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].second->InstanceId.size(), 255u);
  EXPECT_NE(list[0].second->DevInst, 0u);

  Load(WithInstanceId(256));
  list = EnumHid();
  ASSERT_EQ(list.size(), 1u);
  const qz::TqzDevice& d = *list[0].second;
  EXPECT_EQ(d.InstanceId, u"");
  EXPECT_EQ(d.DevInst, 0u);
  EXPECT_EQ(d.BusRelations, u"");
  // The rest of the record is still filled.
  EXPECT_EQ(d.NameSymbolic, machine->InterfacePath(0));
  EXPECT_NE(d.RegKey.find(u"\\Device Parameters"), std::u16string::npos);
}

TEST_F(Enumeration, NothingIsAddedWhenTheClassCannotBeListed) {
  UseDefault();
  qz::TqzDeviceRecords list;
  list.emplace_back(u"kept", nullptr);
  // Device-info listing fails outright: the list stays as it was.
  qzplatform::HideEntry(u"SetupAPI.dll", "SetupDiGetClassDevsW");
  qz::DiEnumInstalledDevices(&kHidInterfaceGuid, true, true, true, list);
  EXPECT_EQ(list.size(), 1u);
  qzplatform::RevealAll();
  // A class with no devices adds nothing either.
  const GUID nothing{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  qz::DiEnumInstalledDevices(&nothing, true, true, true, list);
  qz::DiEnumInstalledDevices(&nothing, true, false, true, list);
  EXPECT_EQ(list.size(), 1u);
}

TEST_F(Enumeration, WithoutTheKeyQueryTheHardwareKeyFieldsStayEmpty) {
  Load(OneDevice(std::string(kVendorDescriptor) + R"(, "enumeration": {"port_name": "COM3"})"));
  qzplatform::HideModule(u"ntdll.dll");
  auto list = EnumHid();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].second->RegKey, u"");
  EXPECT_EQ(list[0].second->PortName, u"");  // not read from HKEY_LOCAL_MACHINE itself
  EXPECT_EQ(list[0].second->NameSymbolic, machine->InterfacePath(0));
  EXPECT_FALSE(list[0].second->InstanceId.empty());
}

}  // namespace
}  // namespace w32ditest
