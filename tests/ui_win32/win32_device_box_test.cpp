// The device selection box over a real COMBOBOX: list-only, filled from its component, a
// user's pick (the keyboard's CBN_SELCHANGE to the parent) passes the index back and fires
// OnChange once, a program's selection fires nothing, and a failing pick is reported.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "box_capture.h"
#include "qzclasses/errors.h"
#include "toolkit_doubles.h"
#include "ui/win32/message_box.h"
#include "ui/win32/message_box_hook.h"
#include "ui/win32/win32_device_box.h"

namespace {

using qz::Text;

constexpr int kBoxId = 101;

using BoxIO = qztest::NamedIO;

struct BoxChanges {
  void OnChange(qz::Component*) {
    ++count;
    index_seen = box->ItemIndex();
  }
  qzui::Win32DeviceBox* box = nullptr;
  int count = 0;
  std::int32_t index_seen = -2;
};

// A hidden parent window that forwards its WM_COMMAND messages to the box, as the demo's
// main window does.
LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* box = reinterpret_cast<qzui::Win32DeviceBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == WM_COMMAND && box && box->HandleCommand(wParam, lParam)) return 0;
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND NewParent() {
  static const ATOM atom = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"qzDeviceBoxTestParent";
    return RegisterClassExW(&wc);
  }();
  return CreateWindowExW(0, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(atom)), L"", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                         nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

class Win32DeviceBoxTest : public ::testing::Test {
 protected:
  Win32DeviceBoxTest() {
    SetWindowLongPtrW(parent, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&box));
    changes.box = &box;
    box.Box().SetOnChange(qz::TNotifyEvent::Bind<&BoxChanges::OnChange>(&changes));
  }
  ~Win32DeviceBoxTest() override {
    SetWindowLongPtrW(parent, GWLP_USERDATA, 0);
    DestroyWindow(parent);
  }

  // What a user's Down key does: the list-only box selects the next item and tells its
  // parent with CBN_SELCHANGE.
  void PressDown() { SendMessageW(box.Handle(), WM_KEYDOWN, VK_DOWN, 0); }

  HWND parent = NewParent();
  qzui::Win32DeviceBox box{parent, kBoxId, 10, 10, 200, 24};
  BoxChanges changes;
  BoxIO io;
};

TEST_F(Win32DeviceBoxTest, AListOnlyComboBoxMirroringTheComponentsDevices) {
  ASSERT_TRUE(IsWindow(box.Handle()));
  EXPECT_EQ(GetParent(box.Handle()), parent);
  EXPECT_EQ(GetDlgCtrlID(box.Handle()), kBoxId);
  const LONG style = GetWindowLongW(box.Handle(), GWL_STYLE);
  EXPECT_EQ(style & 0x3, CBS_DROPDOWNLIST);
  EXPECT_TRUE(style & WS_TABSTOP);
  // The opened list has room for several items below the 24-pixel box.
  RECT dropped{};
  SendMessageW(box.Handle(), CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
  const auto item = static_cast<LONG>(SendMessageW(box.Handle(), CB_GETITEMHEIGHT, 0, 0));
  EXPECT_GE(dropped.bottom - dropped.top, 8 * item);

  box.Box().SetqzLink(&io);
  ASSERT_EQ(SendMessageW(box.Handle(), CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(box.ItemText(2), u"Echo");
  EXPECT_EQ(SendMessageW(box.Handle(), CB_GETCURSEL, 0, 0), 1);
  EXPECT_THROW(box.ItemText(3), qz::RangeError);
  EXPECT_THROW(box.ItemText(-1), qz::RangeError);
  box.SetItemIndex(7);  // outside the items: nothing selected
  EXPECT_EQ(box.ItemIndex(), -1);
  EXPECT_EQ(changes.count, 0);  // selecting from the program is not a pick
}

TEST_F(Win32DeviceBoxTest, TheUsersPickSetsTheDeviceAndFiresOnChangeOnceAProgramsSelectionNothing) {
  box.Box().SetqzLink(&io);
  PressDown();
  EXPECT_EQ(io.index, 2);
  EXPECT_EQ(box.ItemIndex(), 2);
  EXPECT_EQ(box.ItemCount(), 3);  // refilled with the same items
  EXPECT_EQ(changes.count, 1);
  EXPECT_EQ(changes.index_seen, 2);

  SendMessageW(box.Handle(), CB_SETCURSEL, 0, 0);
  EXPECT_EQ(changes.count, 1);
  EXPECT_EQ(io.index, 2);

  // Commands of other controls, and other notifications of the box, are not a pick.
  EXPECT_FALSE(box.HandleCommand(MAKEWPARAM(kBoxId + 1, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box.Handle())));
  EXPECT_TRUE(box.HandleCommand(MAKEWPARAM(kBoxId, CBN_DROPDOWN), reinterpret_cast<LPARAM>(box.Handle())));
  EXPECT_EQ(changes.count, 1);
}

TEST_F(Win32DeviceBoxTest, AFailingPickIsReportedNotThrownThroughTheLoop) {
  box.Box().SetqzLink(&io);
  qztest::BoxCapture<qzui::SetMessageBoxHook> boxes;
  io.fail = true;
  PressDown();
  EXPECT_EQ(boxes.errors, (std::vector<Text>{u"cannot select"}));
  EXPECT_TRUE(boxes.plain.empty());
  EXPECT_EQ(io.index, 1);
  EXPECT_EQ(changes.count, 0);
}

TEST(Win32DeviceBox, GoesWithoutFaultWhenItsParentWentFirst) {
  const HWND parent = NewParent();
  BoxIO io;
  auto box = std::make_unique<qzui::Win32DeviceBox>(parent, kBoxId, 0, 0, 100, 24);
  box->Box().SetqzLink(&io);
  const HWND combo = box->Handle();
  DestroyWindow(parent);
  EXPECT_FALSE(IsWindow(combo));
  box.reset();
  EXPECT_EQ(io.GetDeviceIndex(), 1);
}

}  // namespace
