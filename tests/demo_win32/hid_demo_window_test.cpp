// The HID Demo window on Win32: the real window under Wine (on Wine's own HID devices),
// its layout against the original's table at 96 DPI, Tab order, frame, DPI scaling, and
// the wiring of its controls to the presenter.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hid_demo_window.h"
#include "presenter/report_text.h"
#include "ui/win32/message_box.h"
#include "ui/win32/message_box_hook.h"

namespace {

using demowin::HidDemoWindow;

std::wstring ClassOf(HWND h) {
  wchar_t name[64] = {};
  GetClassNameW(h, name, 64);
  return name;
}

std::wstring TextOf(HWND h) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(h)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(h, text.data(), static_cast<int>(text.size()))));
  return text;
}

// left, top, width, height in the parent's client area.
RECT PlaceOf(HWND h) {
  RECT r;
  GetWindowRect(h, &r);
  MapWindowPoints(nullptr, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::string Show(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right) + "x" +
         std::to_string(r.bottom);
}

class DemoWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    qzui::SetMessageBoxHook([this](const qz::Text& text, qzui::BoxKind) { boxes.push_back(text); });
    ASSERT_EQ(w.Dpi(), 96u) << "the layout is checked at 96 DPI";
  }
  void TearDown() override { qzui::SetMessageBoxHook({}); }

  std::vector<qz::Text> boxes;
  HidDemoWindow w;
};

TEST_F(DemoWindow, ControlsHaveTheTablesClassCaptionParentPlaceAndSize) {
  struct Row {
    const char* name;
    HWND control;
    HWND parent;
    const wchar_t* cls;
    const wchar_t* caption;
    RECT place;
  };
  const HWND win = w.Handle();
  const HWND box = w.GroupBox1;
  const Row rows[] = {
      // The device box shows the selected device's name.
      {"qzDeviceBox1", w.qzDeviceBox1->Handle(), win, L"ComboBox", nullptr, {16, 48, 449, 21}},
      {"ListView1", w.ListView1, win, L"SysListView32", L"", {168, 80, 299, 137}},
      {"CheckBox1", w.CheckBox1, win, L"Button", L"Active selected HID device", {16, 24, 193, 17}},
      {"TreeView1", w.TreeView1, win, L"SysTreeView32", L"", {16, 80, 137, 137}},
      {"Memo1", w.Memo1, win, L"Edit", L"", {16, 392, 449, 73}},
      {"GroupBox1", w.GroupBox1, win, L"Button", L" Send HID Report ", {16, 224, 449, 121}},
      {"Edit1", w.Edit1, box, L"Edit", L"Hello Device", {155, 38, 238, 21}},
      {"bSend", w.bSend, box, L"Button", L"Send", {160, 81, 65, 24}},
      {"cbType", w.cbType, box, L"ComboBox", L"", {74, 38, 74, 21}},
      {"Button1", w.Button1, box, L"Button", L"Send2", {240, 80, 65, 25}},
      {"Button2", w.Button2, box, L"Button", L"Send3", {328, 80, 65, 25}},
      {"CheckBox2", w.CheckBox2, box, L"Button", L"Fixed Length", {16, 84, 97, 17}},
      {"Button3", w.Button3, win, L"Button", L"Get More Details", {336, 16, 129, 25}},
      {"Button4", w.Button4, win, L"Button", L"Disable", {168, 352, 75, 25}},
      {"Button5", w.Button5, win, L"Button", L"Enable", {256, 352, 75, 25}},
      {"Button6", w.Button6, win, L"Button", L"Restart", {344, 352, 75, 25}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_TRUE(IsWindow(row.control));
    EXPECT_EQ(GetParent(row.control), row.parent);
    EXPECT_EQ(_wcsicmp(ClassOf(row.control).c_str(), row.cls), 0);
    if (row.caption) {
      EXPECT_EQ(TextOf(row.control), row.caption);
    }
    EXPECT_EQ(Show(PlaceOf(row.control)), Show(row.place));
  }

  // eID is an edit with its up-down inside the spin edit's place; 0..255, value 0.
  EXPECT_EQ(GetParent(w.eID), box);
  EXPECT_EQ(_wcsicmp(ClassOf(w.eID).c_str(), L"Edit"), 0);
  EXPECT_EQ(_wcsicmp(ClassOf(w.eIDSpin).c_str(), UPDOWN_CLASSW), 0);
  EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(w.eIDSpin, UDM_GETBUDDY, 0, 0)), w.eID);
  const RECT edit = PlaceOf(w.eID);
  const RECT spin = PlaceOf(w.eIDSpin);
  EXPECT_EQ(Show({edit.left, edit.top, spin.left + spin.right - edit.left, edit.bottom}), Show({12, 38, 57, 22}));
  int low = -1;
  int high = -1;
  SendMessageW(w.eIDSpin, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
  EXPECT_EQ(low, 0);
  EXPECT_EQ(high, 255);
  EXPECT_EQ(TextOf(w.eID), L"0");

  // Labels keep their place and grow only when the caption needs it.
  struct Label {
    HWND control;
    HWND parent;
    const wchar_t* caption;
    RECT place;
  };
  for (const Label& l : {Label{w.Label1, win, L"Events Log:", {16, 372, 57, 13}},
                         Label{w.Label2, box, L"ID:", {15, 19, 14, 13}},
                         Label{w.Label3, box, L"Data:", {156, 20, 26, 13}}}) {
    SCOPED_TRACE(std::string(l.caption, l.caption + wcslen(l.caption)));
    EXPECT_EQ(GetParent(l.control), l.parent);
    EXPECT_EQ(_wcsicmp(ClassOf(l.control).c_str(), L"Static"), 0);
    EXPECT_EQ(TextOf(l.control), l.caption);
    const RECT p = PlaceOf(l.control);
    EXPECT_EQ(Show({p.left, p.top, 0, p.bottom}), Show({l.place.left, l.place.top, 0, l.place.bottom}));
    EXPECT_GE(p.right, l.place.right);
    EXPECT_EQ(GetWindowLongW(l.control, GWL_STYLE) & WS_TABSTOP, 0);
  }

  // Initial contents: the data types without a choice, the list's two columns, the tree's indent.
  EXPECT_EQ(SendMessageW(w.cbType, CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessageW(w.cbType, CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_EQ(GetWindowLongW(w.cbType, GWL_STYLE) & CBS_DROPDOWNLIST, CBS_DROPDOWNLIST);
  wchar_t header[32] = {};
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = header;
  column.cchTextMax = 32;
  ASSERT_TRUE(SendMessageW(w.ListView1, LVM_GETCOLUMNW, 0, reinterpret_cast<LPARAM>(&column)));
  EXPECT_STREQ(header, L"Property");
  EXPECT_EQ(column.cx, 100);
  ASSERT_TRUE(SendMessageW(w.ListView1, LVM_GETCOLUMNW, 1, reinterpret_cast<LPARAM>(&column)));
  EXPECT_STREQ(header, L"Value");
  RECT list;
  GetClientRect(w.ListView1, &list);
  EXPECT_EQ(column.cx, list.right - 100);
  EXPECT_EQ(GetWindowLongW(w.ListView1, GWL_STYLE) & (LVS_TYPEMASK | LVS_EDITLABELS), LVS_REPORT);
  EXPECT_TRUE(SendMessageW(w.ListView1, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT);
  EXPECT_EQ(SendMessageW(w.TreeView1, TVM_GETINDENT, 0, 0), 19);
  EXPECT_EQ(GetWindowLongW(w.TreeView1, GWL_STYLE) & TVS_EDITLABELS, 0);
  const LONG memo = GetWindowLongW(w.Memo1, GWL_STYLE);
  EXPECT_EQ(memo & (ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | ES_READONLY),
            ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL);
}

TEST_F(DemoWindow, FrameCaptionFontAndTabOrder) {
  const HWND win = w.Handle();
  EXPECT_EQ(TextOf(win), L"HID Demo - qzLink Lib");
  RECT client;
  GetClientRect(win, &client);
  EXPECT_EQ(client.right, 482);
  EXPECT_EQ(client.bottom, 487);
  RECT frame;
  GetWindowRect(win, &frame);
  EXPECT_EQ(frame.left, 403);
  EXPECT_EQ(frame.top, 189);
  const LONG style = GetWindowLongW(win, GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
  EXPECT_TRUE(GetClassLongW(win, GCL_STYLE) & CS_DBLCLKS);
  EXPECT_EQ(GetClassLongPtrW(win, GCLP_HBRBACKGROUND), COLOR_BTNFACE + 1);

  for (const HWND control : {w.Memo1, w.Edit1, w.bSend, w.Label1, w.qzDeviceBox1->Handle()}) {
    LOGFONTW font{};
    ASSERT_TRUE(GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font), &font));
    EXPECT_EQ(font.lfHeight, -11);
    EXPECT_STREQ(font.lfFaceName, L"MS Sans Serif");
  }

  // Tab order: the window's controls in the table's order, entering the group box at its
  // place; the labels and the up-down take no part.
  const std::vector<HWND> expected = {w.qzDeviceBox1->Handle(), w.ListView1, w.CheckBox1, w.TreeView1,
                                      w.Memo1, w.eID, w.Edit1, w.bSend, w.cbType, w.Button1, w.Button2,
                                      w.CheckBox2, w.Button3, w.Button4, w.Button5, w.Button6};
  std::vector<HWND> order = {GetNextDlgTabItem(win, nullptr, FALSE)};
  while (order.size() <= expected.size()) {
    const HWND next = GetNextDlgTabItem(win, order.back(), FALSE);
    if (next == order.front()) break;
    order.push_back(next);
  }
  EXPECT_EQ(order, expected);
}

TEST_F(DemoWindow, DpiChangeScalesLayoutFontAndFrame) {
  RECT suggested{100, 50, 100 + 1000, 50 + 1000};
  SendMessageW(w.Handle(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(w.Dpi(), 192u);
  RECT client;
  GetClientRect(w.Handle(), &client);
  EXPECT_EQ(client.right, 964);
  EXPECT_EQ(client.bottom, 974);
  RECT frame;
  GetWindowRect(w.Handle(), &frame);
  EXPECT_EQ(frame.left, 100);
  EXPECT_EQ(frame.top, 50);
  EXPECT_EQ(Show(PlaceOf(w.Button3)), Show({672, 32, 258, 50}));
  EXPECT_EQ(Show(PlaceOf(w.Button2)), Show({656, 160, 130, 50}));
  EXPECT_EQ(Show(PlaceOf(w.cbType)), Show({148, 76, 148, 42}));
  EXPECT_EQ(SendMessageW(w.TreeView1, TVM_GETINDENT, 0, 0), 38);
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(w.Memo1, WM_GETFONT, 0, 0)), sizeof(font), &font);
  EXPECT_EQ(font.lfHeight, -21);  // 8 points at 192 DPI

  SendMessageW(w.Handle(), WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(Show(PlaceOf(w.Button3)), Show({336, 16, 129, 25}));
  GetClientRect(w.Handle(), &client);
  EXPECT_EQ(client.right, 482);
}

TEST_F(DemoWindow, ReportControlsReachThePresenter) {
  // A typed ID out of range or not a number is brought back and shown so.
  SetWindowTextW(w.eID, L"300");
  EXPECT_EQ(w.Request().reportId, 255);
  EXPECT_EQ(TextOf(w.eID), L"255");
  SetWindowTextW(w.eID, L"7x");
  EXPECT_EQ(w.Request().reportId, 0);
  SetWindowTextW(w.eID, L" 17 ");
  const demo::ReportRequest r = w.Request();
  EXPECT_EQ(r.reportId, 17);
  EXPECT_EQ(r.reading, demo::kNoReading);
  EXPECT_EQ(r.data, u"Hello Device");
  EXPECT_FALSE(r.fixedLength);

  // The user picks HEX: the combo's notification goes through the group box to the window.
  SendMessageW(w.cbType, CB_SETCURSEL, 1, 0);
  SendMessageW(w.GroupBox1, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(w.cbType), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(w.cbType));
  EXPECT_EQ(TextOf(w.Edit1), L"48656C6C6F20446576696365");
  SendMessageW(w.CheckBox2, BM_SETCHECK, BST_CHECKED, 0);
  EXPECT_EQ(w.Request().reading, demo::kHexReading);
  EXPECT_TRUE(w.Request().fixedLength);

  // A double click on the background shows the IDs of the device at DeviceIndex, if any.
  SendMessageW(w.Handle(), WM_LBUTTONDBLCLK, 0, MAKELPARAM(5, 5));
  qz::TqzHid& hid = w.Form()->Hid();
  const auto* device = dynamic_cast<const qz::TqzHidDevice*>(hid.GetDevice(hid.GetDeviceIndex()));
  if (device) {
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], demo::VendorProductText(device->VendorId(), device->ProductId()));
  } else {
    EXPECT_TRUE(boxes.empty());
  }
}

TEST_F(DemoWindow, TreeSelectionByTheUserReachesThePresenterAndTheProgramsDoesNot) {
  const std::vector<demo::TreeNode> nodes = {
      {u"General HID Info", 0, {}},
      {u"Input Buttons", 0, {{u"Input Button 0", 0, {}}, {u"Input Button 1", 0, {}}}},
      {u"Input Values", 1, {{u"Input Values 0", 0, {}}}}};
  w.ShowTree(nodes, {1, 1});
  const auto selected = [&] {
    return reinterpret_cast<HTREEITEM>(SendMessageW(w.TreeView1, TVM_GETNEXTITEM, TVGN_CARET, 0));
  };
  wchar_t text[64] = {};
  TVITEMW item{};
  item.mask = TVIF_TEXT;
  item.hItem = selected();
  item.pszText = text;
  item.cchTextMax = 64;
  ASSERT_TRUE(SendMessageW(w.TreeView1, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  EXPECT_STREQ(text, L"Input Button 1");
  EXPECT_NE(w.Form()->SelectedNode(), (demo::NodePath{1, 1}));  // the program's choice is not reported

  const auto root = reinterpret_cast<HTREEITEM>(SendMessageW(w.TreeView1, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  const auto values = reinterpret_cast<HTREEITEM>(SendMessageW(
      w.TreeView1, TVM_GETNEXTITEM, TVGN_NEXT,
      SendMessageW(w.TreeView1, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(root))));
  const auto child = reinterpret_cast<HTREEITEM>(
      SendMessageW(w.TreeView1, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(values)));
  SendMessageW(w.TreeView1, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(child));
  EXPECT_EQ(w.Form()->SelectedNode(), (demo::NodePath{2, 0}));
  SendMessageW(w.TreeView1, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(values));
  EXPECT_EQ(w.Form()->SelectedNode(), (demo::NodePath{2, -1}));
}

TEST_F(DemoWindow, MemoAppendsLinesInOrderAndDropsTheOldestAsThePresenterSays) {
  std::vector<qz::Text> lines = {u"one", u"two"};
  w.AppendMemoLines(lines, 0);
  lines = {u"three"};
  w.AppendMemoLines(lines, 0);
  EXPECT_EQ(TextOf(w.Memo1), L"one\r\ntwo\r\nthree");
  // The memo's three, then the oldest of the new lines.
  lines = {u"four", u"five", u"six"};
  w.AppendMemoLines(lines, 4);
  EXPECT_EQ(TextOf(w.Memo1), L"five\r\nsix");
  lines = {u"seven"};
  w.AppendMemoLines(lines, 1);
  EXPECT_EQ(TextOf(w.Memo1), L"six\r\nseven");
}

TEST_F(DemoWindow, OnlyTheBackgroundTakesTheDoubleClick) {
  // Labels and the group box pass their clicks on to the window: they are no background.
  const auto centre = [&](HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ScreenToClient(w.Handle(), &p);
    return p;
  };
  EXPECT_FALSE(w.OnBackground(centre(w.Label1)));
  EXPECT_FALSE(w.OnBackground(centre(w.Label2)));
  EXPECT_FALSE(w.OnBackground({16 + 430, 224 + 110}));  // inside the group box, on no control
  EXPECT_TRUE(w.OnBackground({5, 5}));
}

}  // namespace
