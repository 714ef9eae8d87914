// The library with a HID.DLL that lacks every entry but HidD_GetHidGuid: each binding
// gives its defined "missing" result, discovery lists no device instead of failing, and
// the HID Demo window shows no device and refuses to open one.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <vector>

#include "hid_demo_window.h"

#include "qzhid/hid.h"
#include "qzhidw32/qzhidw32.h"
#include "qzwin32di/qzwin32di.h"
#include "ui/win32/message_box.h"
#include "ui/win32/message_box_hook.h"

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

TEST(PartialHidDll, TheDemoWindowListsNothingAndRefusesToActivate) {
  std::vector<qz::Text> boxes;
  qzui::SetMessageBoxHook([&](const qz::Text& text, qzui::BoxKind) { boxes.push_back(text); });
  {
    demowin::HidDemoWindow w;
    ShowWindow(w.Handle(), SW_SHOW);  // the first showing enumerates again, logged
    EXPECT_EQ(SendMessageW(w.qzDeviceBox1->Handle(), CB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(TreeView_GetCount(w.TreeView1), 0u);
    SendMessageW(w.CheckBox1, BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(w.CheckBox1, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], u"Active device is not selected");
  }
  qzui::SetMessageBoxHook({});
}

}  // namespace
