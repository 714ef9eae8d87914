// The library with a HID.DLL that lacks every entry but HidD_GetHidGuid: each binding
// gives its defined "missing" result, and discovery lists no device instead of failing.
#include <windows.h>

#include <gtest/gtest.h>

#include "qzhid/hid.h"
#include "qzhidw32/qzhidw32.h"
#include "qzwin32di/qzwin32di.h"

namespace {

TEST(PartialHidDll, MissingEntriesGiveTheirMissingResults) {
  ASSERT_TRUE(qz::LoadHidDll());
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(GetModuleHandleW(L"hid.dll"), path, MAX_PATH);
  ASSERT_NE(std::wstring(path).find(L"partial_hid"), std::wstring::npos)
      << "the system's own HID.DLL was loaded: this system ignores one beside the program";

  GUID guid{};
  qz::HidD_GetHidGuid(guid);
  EXPECT_EQ(guid.Data1, 0x4D1E55B2u);
  HANDLE device = GetCurrentProcess();  // any handle: no entry may be reached
  EXPECT_EQ(qz::HidD_GetPreparsedData(device), 0u);
  HIDD_ATTRIBUTES attributes{};
  EXPECT_FALSE(qz::HidD_GetAttributes(device, attributes));
  HIDP_CAPS caps{};
  EXPECT_EQ(qz::HidP_GetCaps(1, caps), HIDP_STATUS_NULL);
  EXPECT_EQ(qz::HidD_GetProductString(device), u"");
  EXPECT_FALSE(qz::HidD_SetNumInputBuffers(device, 64));
}

TEST(PartialHidDll, DiscoveryListsNoDeviceItCannotLoad) {
  GUID hidGuid{};
  qz::HidD_GetHidGuid(hidGuid);
  qz::TqzDeviceRecords interfaces;
  qz::DiEnumInstalledDevices(&hidGuid, true, false, true, interfaces);
  ASSERT_GE(interfaces.size(), 2u) << "the system lists the HID interfaces";
  qz::TqzHid hid(nullptr);
  hid.SetEnumFullMode(true);
  EXPECT_NO_THROW(hid.DeviceListLoad());
  EXPECT_EQ(hid.GetDeviceCount(), 0);
}

}  // namespace
