// The device selection box over a real COMBOBOX.
#include "ui/win32/win32_device_box.h"

#include <algorithm>
#include <vector>

#include "qzclasses/errors.h"
#include "ui/win32/last_error.h"
#include "ui/win32/message_box.h"

namespace qzui {

namespace {

// Room the opened list gets below the box, in items.
constexpr int kListItems = 8;

}  // namespace

Win32DeviceBox::Win32DeviceBox(HWND parent, int id, int left, int top, int width, int height)
    : combo_(CreateWindowExW(0, L"COMBOBOX", L"",
                             WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST,
                             left, top, width, height, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             GetModuleHandleW(nullptr), nullptr)),
      id_(id),
      box_(nullptr, *this) {
  if (!combo_) ThrowLastError(u"Creating the device selection box");
  SendMessageW(combo_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  // A combo box's window height includes its opened list: `height` places the box itself,
  // the list gets room for several items below it.
  const auto field = static_cast<int>(SendMessageW(combo_, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
  const auto item = static_cast<int>(SendMessageW(combo_, CB_GETITEMHEIGHT, 0, 0));
  const int total = std::max(height, field + kListItems * item + 2 * GetSystemMetrics(SM_CYEDGE));
  SetWindowPos(combo_, nullptr, 0, 0, width, total, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

Win32DeviceBox::~Win32DeviceBox() {
  // The parent may have taken its child with it already.
  if (IsWindow(combo_)) DestroyWindow(combo_);
  combo_ = nullptr;
}

bool Win32DeviceBox::HandleCommand(WPARAM wParam, LPARAM lParam) {
  if (LOWORD(wParam) != id_ || reinterpret_cast<HWND>(lParam) != combo_ || !combo_) return false;
  if (HIWORD(wParam) == CBN_SELCHANGE) {
    try {
      box_.Change();
    } catch (...) {
      ShowErrorReport(GetParent(combo_), std::current_exception());
    }
  }
  return true;
}

void Win32DeviceBox::ClearItems() { SendMessageW(combo_, CB_RESETCONTENT, 0, 0); }

void Win32DeviceBox::AddItem(const qz::Text& text) {
  const LRESULT index =
      SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(qzplatform::AsWide(text)));
  if (index == CB_ERR || index == CB_ERRSPACE) throw qz::Error(u"Cannot add an item to the device selection box");
}

std::int32_t Win32DeviceBox::ItemCount() const {
  const LRESULT count = SendMessageW(combo_, CB_GETCOUNT, 0, 0);
  return count == CB_ERR ? 0 : static_cast<std::int32_t>(count);
}

qz::Text Win32DeviceBox::ItemText(std::int32_t index) const {
  const LRESULT length = SendMessageW(combo_, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (index < 0 || length == CB_ERR) throw qz::RangeError(u"Device selection box item index out of range");
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
  const LRESULT got = SendMessageW(combo_, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
  if (got == CB_ERR) throw qz::RangeError(u"Device selection box item index out of range");
  return qz::Text(reinterpret_cast<const char16_t*>(buffer.data()), static_cast<std::size_t>(got));
}

std::int32_t Win32DeviceBox::ItemIndex() const {
  const LRESULT index = SendMessageW(combo_, CB_GETCURSEL, 0, 0);
  return index == CB_ERR ? -1 : static_cast<std::int32_t>(index);
}

void Win32DeviceBox::SetItemIndex(std::int32_t index) {
  // CB_SETCURSEL with -1 (and any index outside the items) clears the selection; it sends
  // no CBN_SELCHANGE, so the program's choice never runs the change step.
  const bool inside = index >= 0 && index < ItemCount();
  SendMessageW(combo_, CB_SETCURSEL, static_cast<WPARAM>(inside ? index : -1), 0);
}

}  // namespace qzui
