// The HID Demo window on native Win32 controls.
#include "hid_demo_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <string>

#include "presenter/report_composer.h"
#include "qzclasses/errors.h"
#include "ui/win32/message_box.h"
#include "window_design.h"

namespace demowin {

void HidDemoWindow::RegisterWindowClass() {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                  ICC_STANDARD_CLASSES | ICC_TREEVIEW_CLASSES |
                                      ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;  // a double click on the background shows the device's IDs
    wc.lpfnWndProc = &HidDemoWindow::WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0;
  }();
  if (!registered) throw qz::Error(u"Cannot register the HID Demo window class");
}

HidDemoWindow::HidDemoWindow(demo::DemoSettings settings) {
  RegisterWindowClass();
  const SIZE frame = FrameSizeFor(kClientWidth, kClientHeight, kDesignDpi);
  hwnd_ = CreateWindowExW(kExStyle, kClassName, kCaption, kStyle, kLeft, kTop, frame.cx, frame.cy,
                          nullptr, nullptr, GetModuleHandleW(nullptr), this);
  if (!hwnd_) throw qz::Error(u"Cannot create the HID Demo window");
  try {
    CreateControls();
    ApplyDpi(DpiOf(hwnd_), nullptr);
    // The components come after the controls; linking the box makes the first enumeration.
    settings.memoGather = kMemoGather;
    form_ = std::make_unique<demo::HidDemoForm>(*this, qzDeviceBox1->Box(), std::move(settings));
  } catch (...) {
    DestroyWindow(hwnd_);
    if (font_) DeleteObject(font_);
    throw;
  }
}

HidDemoWindow::~HidDemoWindow() {
  if (hwnd_) DestroyWindow(hwnd_);  // WM_DESTROY takes the presenter before the controls
  if (font_) DeleteObject(font_);
  if (busy_) SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
}

LRESULT CALLBACK HidDemoWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    static_cast<HidDemoWindow*>(create->lpCreateParams)->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<HidDemoWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  return self ? self->OnMessage(msg, wParam, lParam) : DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK HidDemoWindow::GroupBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                             UINT_PTR, DWORD_PTR window) {
  // The group box's children report to it; their notifications belong to the window.
  switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
      return SendMessageW(reinterpret_cast<HidDemoWindow*>(window)->hwnd_, msg, wParam, lParam);
    case WM_ERASEBKGND: {
      // A group box paints only its frame; as a parent it must fill what lies between.
      RECT r;
      GetClientRect(hwnd, &r);
      FillRect(reinterpret_cast<HDC>(wParam), &r, GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, &HidDemoWindow::GroupBoxProc, 0);
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

LRESULT HidDemoWindow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      OnCommand(wParam, lParam);
      return 0;
    case WM_NOTIFY:
      OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
      return 0;
    case WM_SHOWWINDOW:
      if (wParam && !shown_) {
        shown_ = true;
        Run([&] { form_->FormShow(); });
        SetFocus(qzDeviceBox1->Handle());
      }
      break;
    case WM_ACTIVATE:
      // As a dialog does: the focus leaves with the window and comes back where it was.
      if (LOWORD(wParam) == WA_INACTIVE) {
        last_focus_ = GetFocus();
      } else if (last_focus_ && IsChild(hwnd_, last_focus_)) {
        SetFocus(last_focus_);
        return 0;
      }
      break;
    case WM_LBUTTONDBLCLK:
      if (form_ && OnBackground({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)})) {
        Run([&] { form_->FormDblClick(); });
      }
      return 0;
    case WM_SETCURSOR:
      if (busy_) {
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
        return TRUE;
      }
      break;
    case WM_GETMINMAXINFO: {
      // The frame is fixed: as large as the layout needs, also where that passes the screen.
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      info->ptMaxTrackSize.x = std::max(info->ptMaxTrackSize.x, frame_.cx);
      info->ptMaxTrackSize.y = std::max(info->ptMaxTrackSize.y, frame_.cy);
      return 0;
    }
    case WM_DEVICECHANGE:
      // Devices plugged in or removed later show only after a restart of the program.
      return TRUE;
    case WM_DPICHANGED:
      ApplyDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_CLOSE:
      DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      OnDestroy();
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

void HidDemoWindow::OnDestroy() {
  // The presenter closes the device and waits for its loop while every control still
  // exists; the device box's logic goes with it, before the controls' windows.
  form_.reset();
  qzDeviceBox1.reset();
  memo_.reset();
}

void HidDemoWindow::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (!form_) return;
  if (qzDeviceBox1->HandleCommand(wParam, lParam)) return;
  const int code = HIWORD(wParam);
  switch (LOWORD(wParam)) {
    case kCheckBox1Id:
      if (code == BN_CLICKED) {
        const bool checked = SendMessageW(CheckBox1, BM_GETCHECK, 0, 0) == BST_CHECKED;
        Run([&] { form_->CheckBox1Click(checked); });
      }
      break;
    case kTypeId:
      if (code == CBN_SELCHANGE) {
        const auto index = static_cast<int>(SendMessageW(cbType, CB_GETCURSEL, 0, 0));
        Run([&] { form_->cbTypeChange(index, TextOf(Edit1)); });
      }
      break;
    case kSendId:
      if (code == BN_CLICKED) Run([&] { form_->bSendClick(Request()); });
      break;
    case kSend2Id:
      if (code == BN_CLICKED) Run([&] { form_->Button1Click(Request()); });
      break;
    case kSend3Id:
      if (code == BN_CLICKED) Run([&] { form_->Button2Click(Request()); });
      break;
    case kDetailsId:
      if (code == BN_CLICKED) Run([&] { form_->Button3Click(); });
      break;
    case kDisableId:
      if (code == BN_CLICKED) Run([&] { form_->Button4Click(); });
      break;
    case kEnableId:
      if (code == BN_CLICKED) Run([&] { form_->Button5Click(); });
      break;
    case kRestartId:
      if (code == BN_CLICKED) Run([&] { form_->Button6Click(); });
      break;
    default:
      break;
  }
}

void HidDemoWindow::OnNotify(const NMHDR& header) {
  if (!form_ || header.hwndFrom != TreeView1 || header.code != TVN_SELCHANGEDW || filling_tree_) return;
  const auto& change = reinterpret_cast<const NMTREEVIEWW&>(header);
  Run([&] { form_->TreeView1Change(PathOf(change.itemNew.hItem)); });
}

template <typename F>
void HidDemoWindow::Run(F&& handler) {
  try {
    handler();
  } catch (...) {
    qzui::ShowErrorReport(hwnd_, std::current_exception());
  }
}

demo::ReportRequest HidDemoWindow::Request() const {
  demo::ReportRequest request;
  // A typed value counts, brought back into 0..255 and shown so, as the spin edit does
  // when it loses the focus.
  request.reportId = demo::ReportIdFromText(TextOf(eID));
  SendMessageW(eIDSpin, UDM_SETPOS32, 0, request.reportId);
  const auto index = static_cast<int>(SendMessageW(cbType, CB_GETCURSEL, 0, 0));
  request.reading = index == CB_ERR ? demo::kNoReading : index;
  request.data = TextOf(Edit1);
  request.fixedLength = SendMessageW(CheckBox2, BM_GETCHECK, 0, 0) == BST_CHECKED;
  return request;
}

bool HidDemoWindow::OnBackground(POINT client) const {
  return ChildWindowFromPointEx(hwnd_, client, CWP_SKIPINVISIBLE) == hwnd_;
}

demo::NodePath HidDemoWindow::PathOf(HTREEITEM item) const {
  if (!item) return {};
  const auto next = [&](HTREEITEM i) {
    return reinterpret_cast<HTREEITEM>(SendMessageW(TreeView1, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(i)));
  };
  const auto position = [&](HTREEITEM first, HTREEITEM wanted) {
    int i = 0;
    for (HTREEITEM at = first; at; at = next(at), ++i) {
      if (at == wanted) return i;
    }
    return -1;
  };
  const auto parent = reinterpret_cast<HTREEITEM>(
      SendMessageW(TreeView1, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item)));
  const auto root = reinterpret_cast<HTREEITEM>(SendMessageW(TreeView1, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  if (!parent) return {position(root, item), -1};
  const auto first = reinterpret_cast<HTREEITEM>(
      SendMessageW(TreeView1, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(parent)));
  return {position(root, parent), position(first, item)};
}

void HidDemoWindow::ShowTree(const std::vector<demo::TreeNode>& nodes, demo::NodePath selected) {
  filling_tree_ = true;
  SendMessageW(TreeView1, WM_SETREDRAW, FALSE, 0);
  SendMessageW(TreeView1, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  HTREEITEM current = nullptr;
  const auto insert = [&](HTREEITEM parent, const demo::TreeNode& node) {
    TVINSERTSTRUCTW item{};
    item.hParent = parent;
    item.hInsertAfter = TVI_LAST;
    item.item.mask = TVIF_TEXT | TVIF_PARAM;
    const qz::Text text = demo::NodeText(node);
    item.item.pszText = const_cast<LPWSTR>(AsWide(text));
    item.item.lParam = node.data;
    return reinterpret_cast<HTREEITEM>(SendMessageW(TreeView1, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  };
  for (std::size_t t = 0; t < nodes.size(); ++t) {
    const HTREEITEM top = insert(TVI_ROOT, nodes[t]);
    if (static_cast<int>(t) == selected.top && selected.child < 0) current = top;
    for (std::size_t c = 0; c < nodes[t].children.size(); ++c) {
      const HTREEITEM child = insert(top, nodes[t].children[c]);
      if (static_cast<int>(t) == selected.top && static_cast<int>(c) == selected.child) current = child;
    }
  }
  SendMessageW(TreeView1, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(current));
  SendMessageW(TreeView1, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(TreeView1, nullptr, TRUE);
  filling_tree_ = false;
}

void HidDemoWindow::ShowRows(const std::vector<demo::InfoRow>& rows) {
  SendMessageW(ListView1, WM_SETREDRAW, FALSE, 0);
  SendMessageW(ListView1, LVM_DELETEALLITEMS, 0, 0);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(i);
    item.pszText = const_cast<LPWSTR>(AsWide(rows[i].property));
    const auto index = SendMessageW(ListView1, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    if (index < 0) continue;
    item.iSubItem = 1;
    const qz::Text value = demo::ValueText(rows[i]);
    item.pszText = const_cast<LPWSTR>(AsWide(value));
    SendMessageW(ListView1, LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  }
  SendMessageW(ListView1, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(ListView1, nullptr, TRUE);
}

void HidDemoWindow::AppendMemoLines(std::vector<qz::Text>& lines, std::size_t dropOldest) {
  if (!hwnd_ || !memo_) return;
  SendMessageW(Memo1, WM_SETREDRAW, FALSE, 0);
  // Drops past the memo's own lines take the oldest of the new ones.
  const std::size_t fromMemo = DropOldestMemoLines(dropOldest);
  const std::size_t skip = std::min(dropOldest - fromMemo, lines.size());
  if (skip < lines.size()) {
    qz::Text text;
    for (std::size_t i = skip; i < lines.size(); ++i) {
      if (i > skip) text += u"\r\n";
      text += lines[i];
    }
    // The memo follows the new lines while its caret is at the end; a user reading or
    // selecting elsewhere keeps the place.
    const auto length = static_cast<DWORD>(GetWindowTextLengthW(Memo1));
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(Memo1, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const bool follow = start == length && end == length;
    memo_->AppendText(length > 0 ? u"\r\n" + text : text);
    if (follow) {
      const auto now = static_cast<WPARAM>(GetWindowTextLengthW(Memo1));
      SendMessageW(Memo1, EM_SETSEL, now, static_cast<LPARAM>(now));
      SendMessageW(Memo1, EM_SCROLLCARET, 0, 0);
    }
  }
  SendMessageW(Memo1, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(Memo1, nullptr, TRUE);
}

std::size_t HidDemoWindow::DropOldestMemoLines(std::size_t count) {
  if (count == 0) return 0;
  // The memo's lines end at CR LF (word wrapping breaks none): the cut is after the
  // count-th line break, or at the end when the memo has fewer lines.
  const qz::Text text = TextOf(Memo1);
  std::size_t cut = 0;
  std::size_t dropped = 0;
  while (dropped < count && cut < text.size()) {
    const std::size_t at = text.find(u"\r\n", cut);
    cut = at == qz::Text::npos ? text.size() : at + 2;
    ++dropped;
  }
  if (cut == 0) return 0;
  DWORD start = 0;
  DWORD end = 0;
  SendMessageW(Memo1, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  SendMessageW(Memo1, EM_SETSEL, 0, static_cast<LPARAM>(cut));
  SendMessageW(Memo1, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
  const auto shift = [&](DWORD p) { return static_cast<WPARAM>(p > cut ? p - cut : 0); };
  SendMessageW(Memo1, EM_SETSEL, shift(start), static_cast<LPARAM>(shift(end)));
  return dropped;
}

void HidDemoWindow::SetActiveChecked(bool checked) {
  const bool now = SendMessageW(CheckBox1, BM_GETCHECK, 0, 0) == BST_CHECKED;
  if (now == checked) return;
  SendMessageW(CheckBox1, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  // A program change of the box runs its click handler, as the user's does.
  if (form_) Run([&] { form_->CheckBox1Click(checked); });
}

void HidDemoWindow::SetDataText(const qz::Text& text) { SetWindowTextW(Edit1, AsWide(text)); }

void HidDemoWindow::ShowMessage(const qz::Text& text) { qzui::ShowMessageBox(hwnd_, text); }

void HidDemoWindow::SetStatus(const qz::Text& text) {
  SetWindowTextW(StatusLine, AsWide(text));
  ShowWindow(StatusLine, text.empty() ? SW_HIDE : SW_SHOWNA);
}

void HidDemoWindow::SetBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
    return;
  }
  // The window under the mouse sets its own cursor again.
  POINT at;
  if (GetCursorPos(&at)) {
    if (const HWND under = WindowFromPoint(at)) {
      SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
      return;
    }
  }
  SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
}

}  // namespace demowin
