// The library's edit control over a real EDIT control.
#include "ui/win32/win32_edit_control.h"

#include <vector>

#include "qzclasses/errors.h"
#include "ui/win32/message_box.h"

namespace qzui {

namespace {

// The wrapper of a subclassed window, and the procedure the subclass passes messages to.
constexpr wchar_t kWrapperProp[] = L"qzWin32EditControl";
constexpr wchar_t kNextProcProp[] = L"qzWin32EditControl.next";

bool IsEditWindow(HWND hwnd) {
  wchar_t name[16] = {};
  return IsWindow(hwnd) && GetClassNameW(hwnd, name, 16) > 0 && lstrcmpiW(name, L"Edit") == 0;
}

bool IsMultiLine(HWND hwnd) { return (GetWindowLongW(hwnd, GWL_STYLE) & ES_MULTILINE) != 0; }

// A multi-line EDIT control breaks lines at CR LF only: a lone LF becomes CR LF.
qz::Text WithCrLf(const qz::Text& text) {
  qz::Text out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r')) out += u'\r';
    out += text[i];
  }
  return out;
}

LRESULT CallNext(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const auto next = reinterpret_cast<WNDPROC>(GetPropW(hwnd, kNextProcProp));
  return next ? CallWindowProcW(next, hwnd, msg, wParam, lParam)
              : DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool IsSubclassedByUs(HWND hwnd, WNDPROC proc) {
  return GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(proc);
}

}  // namespace

Win32EditControl::Win32EditControl(qz::Component* owner, HWND edit)
    : EditControl(owner), edit_(edit) {
  if (!IsEditWindow(edit)) throw qz::Error(u"The edit control wrapper needs a window of class EDIT");
  if (GetPropW(edit, kWrapperProp)) throw qz::Error(u"The EDIT window already has a wrapper");
  // The system's default limit (about 32K characters) would cut appended and received text.
  if (IsMultiLine(edit)) SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
  class_proc_ = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(edit, GWLP_WNDPROC));
  if (!SetPropW(edit, kNextProcProp, reinterpret_cast<HANDLE>(class_proc_)) ||
      !SetPropW(edit, kWrapperProp, this)) {
    RemovePropW(edit, kNextProcProp);
    throw qz::Error(u"Cannot attach the edit control wrapper to its window");
  }
  SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProc));
}

Win32EditControl::~Win32EditControl() {
  // Linked components (a terminal's I/O component, a log's VisualOut) let go first.
  NotifyRemoval();
  const HWND edit = edit_.exchange(nullptr);
  if (!edit) return;
  RemovePropW(edit, kWrapperProp);
  // Subclassed again after us: our procedure stays in that chain and passes everything on.
  if (!IsSubclassedByUs(edit, &SubclassProc)) return;
  SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(class_proc_));
  RemovePropW(edit, kNextProcProp);
}

LRESULT CALLBACK Win32EditControl::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = static_cast<Win32EditControl*>(GetPropW(hwnd, kWrapperProp));
  if (msg == WM_NCDESTROY) {
    // The window's last message: the wrapper forgets it, and the window its subclass.
    if (self) self->edit_ = nullptr;
    const LRESULT result = CallNext(hwnd, msg, wParam, lParam);
    if (IsSubclassedByUs(hwnd, &SubclassProc)) {
      SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GetPropW(hwnd, kNextProcProp)));
    }
    RemovePropW(hwnd, kWrapperProp);
    RemovePropW(hwnd, kNextProcProp);
    return result;
  }
  if (!self) return CallNext(hwnd, msg, wParam, lParam);
  qz::Message message;
  message.Msg = msg;
  message.WParam = wParam;
  message.LParam = lParam;
  try {
    self->GetWindowProc()(message);
  } catch (...) {
    // Errors must not cross the message loop.
    ShowErrorReport(GetAncestor(hwnd, GA_ROOT), std::current_exception());
  }
  return message.Result;
}

void Win32EditControl::DefaultWndProc(qz::Message& Msg) {
  const HWND edit = edit_;
  Msg.Result = edit ? CallWindowProcW(class_proc_, edit, Msg.Msg, Msg.WParam, Msg.LParam) : 0;
}

qz::Text Win32EditControl::GetText() const {
  const HWND edit = edit_;
  if (!edit) return {};
  const int length = GetWindowTextLengthW(edit);
  if (length <= 0) return {};
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
  const int got = GetWindowTextW(edit, buffer.data(), length + 1);
  return qz::Text(reinterpret_cast<const char16_t*>(buffer.data()), static_cast<std::size_t>(got));
}

void Win32EditControl::SetText(const qz::Text& text) {
  const HWND edit = edit_;
  if (!edit) return;
  SetWindowTextW(edit, qzplatform::AsWide(IsMultiLine(edit) ? WithCrLf(text) : text));
}

void Win32EditControl::AppendText(const qz::Text& text) {
  const HWND edit = edit_;
  if (!edit) return;
  DWORD start = 0;
  DWORD end = 0;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  const auto length = static_cast<DWORD>(GetWindowTextLengthW(edit));
  SendMessageW(edit, EM_SETSEL, length, length);
  const qz::Text run = IsMultiLine(edit) ? WithCrLf(text) : text;
  SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(run.c_str()));
  // A caret at the end follows the text, as a log view should; any other place stays.
  if (start != length || end != length) SendMessageW(edit, EM_SETSEL, start, end);
}

void Win32EditControl::Post(UINT Msg, WPARAM WParam, LPARAM LParam) {
  const HWND edit = edit_;
  if (edit) PostMessageW(edit, Msg, WParam, LParam);
}

}  // namespace qzui
