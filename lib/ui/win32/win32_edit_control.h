// The library's edit control over a real EDIT control.
#pragma once

#include <atomic>

#include "qzclasses/edit_control.h"
#include "qzplatform/win32.h"

namespace qzui {

// Subclasses the EDIT window: every message the window receives (typed keys as WM_CHAR,
// messages posted to it, EM_REPLACESEL) runs through the library's window procedure, so a
// hook (a terminal binding) sees it first; the control's own procedure is the EDIT
// class's. Multi-line text has CR LF line breaks. When the window is destroyed first, the
// wrapper keeps working on nothing (empty text, posts dropped).
class Win32EditControl : public qz::EditControl {
 public:
  // `edit` is a window of class EDIT on the calling (main) thread that no other wrapper
  // holds; otherwise throws qz::Error. A multi-line control's text limit is raised to the
  // system's maximum, so appended and received text is not cut at the default limit.
  Win32EditControl(qz::Component* owner, HWND edit);
  ~Win32EditControl() override;

  qz::Text ClassName() const override { return u"Win32EditControl"; }
  qz::Text GetText() const override;
  void SetText(const qz::Text& text) override;
  // Appends at the end without moving the user's caret or selection; a caret at the end
  // follows the new text.
  void AppendText(const qz::Text& text) override;

  HWND GetHandle() override { return edit_; }
  // Thread-safe: PostMessageW to the control's window.
  void Post(UINT Msg, WPARAM WParam, LPARAM LParam) override;

 protected:
  void DefaultWndProc(qz::Message& Msg) override;

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  std::atomic<HWND> edit_;  // null once the window is gone; Post reads it on any thread
  WNDPROC class_proc_ = nullptr;  // the EDIT class's procedure, which the subclass calls on
};

}  // namespace qzui
