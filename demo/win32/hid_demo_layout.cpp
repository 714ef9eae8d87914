// The HID Demo window's controls: made at their 96-DPI places, then placed, sized and
// given their font for the window's DPI.
#include "hid_demo_window.h"

#include <commctrl.h>

#include <algorithm>

#include "qzclasses/errors.h"
#include "window_design.h"

namespace demowin {

namespace {

// Functions of newer systems (and of Wine versions that have them), looked up once.
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

template <typename F>
F User32Entry(const char* name) {
  const FARPROC entry = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(entry));
}

}  // namespace

UINT DpiOf(HWND hwnd) {
  static const auto get_dpi = User32Entry<GetDpiForWindowFn>("GetDpiForWindow");
  if (get_dpi) {
    if (const UINT dpi = get_dpi(hwnd)) return dpi;
  }
  const HDC dc = GetDC(hwnd);
  const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
  if (dc) ReleaseDC(hwnd, dc);
  return dpi > 0 ? static_cast<UINT>(dpi) : kDesignDpi;
}

SIZE FrameSizeFor(int clientWidth, int clientHeight, UINT dpi) {
  static const auto adjust = User32Entry<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
  RECT r{0, 0, clientWidth, clientHeight};
  if (!adjust || !adjust(&r, kStyle, FALSE, kExStyle, dpi)) AdjustWindowRectEx(&r, kStyle, FALSE, kExStyle);
  return {r.right - r.left, r.bottom - r.top};
}

HWND HidDemoWindow::Add(HWND parent, const wchar_t* cls, const wchar_t* caption, DWORD style,
                        int id, RECT rect, DWORD exStyle, int dropHeight) {
  const HWND control = CreateWindowExW(exStyle, cls, caption, WS_CHILD | WS_VISIBLE | style,
                                       rect.left, rect.top, rect.right, rect.bottom + dropHeight,
                                       parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                       GetModuleHandleW(nullptr), nullptr);
  if (!control) throw qz::Error(u"Cannot create a control of the HID Demo window");
  placements_.push_back({control, rect, dropHeight});
  return control;
}

void HidDemoWindow::CreateControls() {
  // Creation order is the z-order, and so the Tab order, within each parent.
  Label1 = Add(hwnd_, WC_STATICW, L"Events Log:", SS_LEFT | SS_NOPREFIX, kLabelId, Box(16, 372, 57, 13));
  qzDeviceBox1 = std::make_unique<qzui::Win32DeviceBox>(hwnd_, kDeviceBoxId, 16, 48, 449, 21);
  placements_.push_back({qzDeviceBox1->Handle(), Box(16, 48, 449, 21), kComboDropHeight});

  ListView1 = Add(hwnd_, WC_LISTVIEWW, L"",
                  WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, kListViewId,
                  Box(168, 80, 299, 137), WS_EX_CLIENTEDGE);
  SendMessageW(ListView1, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  const wchar_t* const columns[] = {L"Property", L"Value"};
  for (WPARAM i = 0; i < 2; ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<wchar_t*>(columns[i]);
    column.cx = kPropertyColumnWidth;  // the value column gets the rest when placed
    SendMessageW(ListView1, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }

  CheckBox1 = Add(hwnd_, WC_BUTTONW, L"Active selected HID device", WS_TABSTOP | BS_AUTOCHECKBOX,
                  kCheckBox1Id, Box(16, 24, 193, 17));
  TreeView1 = Add(hwnd_, WC_TREEVIEWW, L"",
                  WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                  kTreeViewId, Box(16, 80, 137, 137), WS_EX_CLIENTEDGE);
  Memo1 = Add(hwnd_, WC_EDITW, L"",
              WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, kMemoId,
              Box(16, 392, 449, 73), WS_EX_CLIENTEDGE);
  // Appending is never refused; the window's own cap keeps the memo's size in bounds.
  SendMessageW(Memo1, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
  memo_ = std::make_unique<qzui::Win32EditControl>(nullptr, Memo1);

  GroupBox1 = Add(hwnd_, WC_BUTTONW, L" Send HID Report ", BS_GROUPBOX | WS_CLIPCHILDREN,
                  kGroupBoxId, Box(16, 224, 449, 121), WS_EX_CONTROLPARENT);
  SetWindowSubclass(GroupBox1, &HidDemoWindow::GroupBoxProc, 0, reinterpret_cast<DWORD_PTR>(this));
  Label2 = Add(GroupBox1, WC_STATICW, L"ID:", SS_LEFT | SS_NOPREFIX, kLabelId, Box(15, 19, 14, 13));
  Label3 = Add(GroupBox1, WC_STATICW, L"Data:", SS_LEFT | SS_NOPREFIX, kLabelId, Box(156, 20, 26, 13));
  eID = Add(GroupBox1, WC_EDITW, L"0", WS_TABSTOP | ES_AUTOHSCROLL, kEIdId, Box(12, 38, 57, 22),
            WS_EX_CLIENTEDGE);
  eIDSpin = CreateWindowExW(0, UPDOWN_CLASSW, L"",
                            WS_CHILD | WS_VISIBLE | UDS_SETBUDDYINT | UDS_ALIGNRIGHT |
                                UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                            0, 0, 0, 0, GroupBox1,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEIdSpinId)),
                            GetModuleHandleW(nullptr), nullptr);
  if (!eIDSpin) throw qz::Error(u"Cannot create a control of the HID Demo window");
  SendMessageW(eIDSpin, UDM_SETRANGE32, 0, 255);
  SendMessageW(eIDSpin, UDM_SETPOS32, 0, 0);
  Edit1 = Add(GroupBox1, WC_EDITW, L"Hello Device", WS_TABSTOP | ES_AUTOHSCROLL, kEdit1Id,
              Box(155, 38, 238, 21), WS_EX_CLIENTEDGE);
  bSend = Add(GroupBox1, WC_BUTTONW, L"Send", WS_TABSTOP | BS_PUSHBUTTON, kSendId, Box(160, 81, 65, 24));
  cbType = Add(GroupBox1, WC_COMBOBOXW, L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, kTypeId,
               Box(74, 38, 74, 21), 0, kComboDropHeight);
  for (const wchar_t* item : {L"ASCII", L"HEX"}) {
    SendMessageW(cbType, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  }
  Button1 = Add(GroupBox1, WC_BUTTONW, L"Send2", WS_TABSTOP | BS_PUSHBUTTON, kSend2Id, Box(240, 80, 65, 25));
  Button2 = Add(GroupBox1, WC_BUTTONW, L"Send3", WS_TABSTOP | BS_PUSHBUTTON, kSend3Id, Box(328, 80, 65, 25));
  CheckBox2 = Add(GroupBox1, WC_BUTTONW, L"Fixed Length", WS_TABSTOP | BS_AUTOCHECKBOX, kCheckBox2Id,
                  Box(16, 84, 97, 17));

  Button3 = Add(hwnd_, WC_BUTTONW, L"Get More Details", WS_TABSTOP | BS_PUSHBUTTON, kDetailsId,
                Box(336, 16, 129, 25));
  Button4 = Add(hwnd_, WC_BUTTONW, L"Disable", WS_TABSTOP | BS_PUSHBUTTON, kDisableId, Box(168, 352, 75, 25));
  Button5 = Add(hwnd_, WC_BUTTONW, L"Enable", WS_TABSTOP | BS_PUSHBUTTON, kEnableId, Box(256, 352, 75, 25));
  Button6 = Add(hwnd_, WC_BUTTONW, L"Restart", WS_TABSTOP | BS_PUSHBUTTON, kRestartId, Box(344, 352, 75, 25));

  // The window's own addition, under the memo: a note from the program, if it has one.
  StatusLine = Add(hwnd_, WC_STATICW, L"", SS_LEFT | SS_NOPREFIX, kStatusId, Box(16, 468, 449, 16));
  ShowWindow(StatusLine, SW_HIDE);
  labels_ = {Label1, Label2, Label3};
}

const HidDemoWindow::Placement& HidDemoWindow::PlacementOf(HWND control) const {
  return *std::find_if(placements_.begin(), placements_.end(),
                       [&](const Placement& p) { return p.control == control; });
}

int HidDemoWindow::Scale(int pixels) const {
  return MulDiv(pixels, static_cast<int>(dpi_), static_cast<int>(kDesignDpi));
}

void HidDemoWindow::ApplyDpi(UINT dpi, const RECT* suggested) {
  dpi_ = dpi;
  // 8 points: 11 pixels high at 96 DPI.
  const HFONT font = CreateFontW(-MulDiv(kFontPoints, static_cast<int>(dpi), 72), 0, 0, 0, FW_NORMAL,
                                 FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                                 L"MS Sans Serif");
  if (font) {
    for (const Placement& p : placements_) SendMessageW(p.control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessageW(eIDSpin, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (font_) DeleteObject(font_);
    font_ = font;
  }

  for (const Placement& p : placements_) {
    SetWindowPos(p.control, nullptr, Scale(p.rect.left), Scale(p.rect.top), Scale(p.rect.right),
                 Scale(p.rect.bottom) + Scale(p.dropHeight), SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // A closed combo box is as high as its selection field makes it: the field is set so
  // that the box gets the table's height. How the field's height maps to the box's
  // differs between systems (Wine adds to what it reports), so each step corrects the last.
  for (const Placement& p : placements_) {
    if (p.dropHeight == 0) continue;
    auto field = static_cast<int>(SendMessageW(p.control, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
    for (int step = 0; step < 3 && field > 0; ++step) {
      RECT r;
      GetWindowRect(p.control, &r);
      const int error = (r.bottom - r.top) - Scale(p.rect.bottom);
      if (error == 0) break;
      field = std::max(1, field - error);
      SendMessageW(p.control, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
    }
  }
  // Labels are as wide as their caption needs, at least as wide as designed.
  if (const HDC dc = GetDC(hwnd_)) {
    const HGDIOBJ old = SelectObject(dc, font_);
    for (const HWND label : labels_) {
      const qz::Text caption = TextOf(label);
      SIZE extent{};
      GetTextExtentPoint32W(dc, AsWide(caption), static_cast<int>(caption.size()), &extent);
      const RECT& place = PlacementOf(label).rect;
      const int width = std::max(Scale(place.right), static_cast<int>(extent.cx));
      SetWindowPos(label, nullptr, 0, 0, width, Scale(place.bottom),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
  }
  // The spin edit's place holds the edit and, at its right end, the up-down.
  SendMessageW(eIDSpin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(eID), 0);
  RECT spin;
  GetWindowRect(eIDSpin, &spin);
  const int spin_width = spin.right - spin.left;
  const RECT& place = PlacementOf(eID).rect;
  const int left = Scale(place.left), top = Scale(place.top), width = Scale(place.right), height = Scale(place.bottom);
  SetWindowPos(eID, nullptr, left, top, width - spin_width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(eIDSpin, nullptr, left + width - spin_width, top, spin_width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageW(TreeView1, TVM_SETINDENT, static_cast<WPARAM>(Scale(kTreeIndent)), 0);
  RECT list;
  GetClientRect(ListView1, &list);
  SendMessageW(ListView1, LVM_SETCOLUMNWIDTH, 0, Scale(kPropertyColumnWidth));
  SendMessageW(ListView1, LVM_SETCOLUMNWIDTH, 1, std::max(0, static_cast<int>(list.right) - Scale(kPropertyColumnWidth)));

  frame_ = FrameSizeFor(Scale(kClientWidth), Scale(kClientHeight), dpi);
  if (suggested) {
    SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, frame_.cx, frame_.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    SetWindowPos(hwnd_, nullptr, 0, 0, frame_.cx, frame_.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // Where the system draws the frame at another DPI than the one asked for (older
  // systems, Wine), the client area is brought to its size by the difference.
  RECT client;
  GetClientRect(hwnd_, &client);
  const int dx = Scale(kClientWidth) - client.right;
  const int dy = Scale(kClientHeight) - client.bottom;
  if (dx != 0 || dy != 0) {
    frame_ = {frame_.cx + dx, frame_.cy + dy};
    SetWindowPos(hwnd_, nullptr, 0, 0, frame_.cx, frame_.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  InvalidateRect(hwnd_, nullptr, TRUE);
}

}  // namespace demowin
