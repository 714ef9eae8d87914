// The binding on a system without the HID library. A separate program, because the
// library, once loaded, stays loaded for the life of the process.
#include <gtest/gtest.h>

#include "fake_hid_module.h"
#include "qzhidw32/qzhidw32.h"

namespace {

TEST(HidBindingWithoutLibrary, EveryWrapperGivesItsMissingResultAndRetriesTheLoad) {
  fakehid::script() = {};
  qzplatform::SetGround(std::make_shared<fakehid::Ground>());
  qzplatform::HideModule(u"HID.DLL");
  HANDLE device = reinterpret_cast<HANDLE>(0x40);

  GUID guid{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  qz::HidD_GetHidGuid(guid);
  EXPECT_EQ(guid.Data1, 1u);
  EXPECT_EQ(guid.Data4[7], 11);
  EXPECT_EQ(qz::HidD_GetProductString(device), u"");
  EXPECT_EQ(qz::HidD_GetSerialNumberString(device), u"");
  EXPECT_EQ(qz::HidD_GetPreparsedData(device), 0u);
  HIDD_ATTRIBUTES attributes{};
  EXPECT_FALSE(qz::HidD_GetAttributes(device, attributes));
  HIDP_CAPS caps{};
  EXPECT_EQ(qz::HidP_GetCaps(1, caps), HIDP_STATUS_NULL);
  unsigned char report[4] = {};
  EXPECT_FALSE(qz::HidD_GetFeature(device, report, sizeof report));
  EXPECT_FALSE(qz::HidD_SetNumInputBuffers(device, 512));
  EXPECT_FALSE(qz::LoadHidDll());

  // Once the library can be found, the next call loads it.
  qzplatform::RevealAll();
  EXPECT_TRUE(qz::LoadHidDll());
  qz::HidD_GetHidGuid(guid);
  EXPECT_EQ(guid.Data1, 0x4D1E55B2u);
  qzplatform::SetGround(nullptr);
}

}  // namespace
