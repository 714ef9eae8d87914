// The HID Demo window's design: its place, size, styles and control IDs at 96 DPI, and
// the DPI and text of a window. Shared by the window's two source files only.
#pragma once

#include <algorithm>
#include <chrono>
#include <string>

#include "qzclasses/text.h"
#include "qzplatform/win32.h"

namespace demowin {

inline constexpr wchar_t kClassName[] = L"qzLinkHidDemoWindow";
inline constexpr wchar_t kCaption[] = L"HID Demo - qzLink Lib";
inline constexpr int kLeft = 403;
inline constexpr int kTop = 189;
inline constexpr int kClientWidth = 482;
inline constexpr int kClientHeight = 487;
inline constexpr UINT kDesignDpi = 96;
inline constexpr int kFontPoints = 8;
inline constexpr int kComboDropHeight = 120;  // room for the opened list of a combo box
inline constexpr int kPropertyColumnWidth = 100;
inline constexpr int kTreeIndent = 19;
// Received lines gather this long before they go into the memo together: each append
// costs the edit control a layout and a repaint whatever its size.
inline constexpr std::chrono::milliseconds kMemoGather{20};
inline constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_BORDER | WS_CLIPCHILDREN;
inline constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT;

enum ControlId : int {
  kDeviceBoxId = 100,
  kListViewId,
  kCheckBox1Id,
  kTreeViewId,
  kMemoId,
  kGroupBoxId,
  kLabelId,
  kEIdId,
  kEIdSpinId,
  kEdit1Id,
  kSendId,
  kTypeId,
  kSend2Id,
  kSend3Id,
  kCheckBox2Id,
  kDetailsId,
  kDisableId,
  kEnableId,
  kRestartId,
  kStatusId,
};

inline RECT Box(int left, int top, int width, int height) { return {left, top, width, height}; }

using qzplatform::AsWide;

// A control's text.
inline qz::Text TextOf(HWND control) {
  const int length = GetWindowTextLengthW(control);
  std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(control, buffer.data(), length + 1);
  return qz::Text(reinterpret_cast<const char16_t*>(buffer.data()), static_cast<std::size_t>(std::max(got, 0)));
}

// The DPI the window is shown at (96 when the system cannot tell).
UINT DpiOf(HWND hwnd);
// The window's outer size for a client area of the given size at `dpi`.
SIZE FrameSizeFor(int clientWidth, int clientHeight, UINT dpi);

}  // namespace demowin
