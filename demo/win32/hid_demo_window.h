// The HID Demo window on native Win32 controls: builds the controls, forwards each user
// action to the presenter and shows what the presenter tells it.
#pragma once

#include <memory>
#include <vector>

#include "presenter/demo_view.h"
#include "presenter/hid_demo_form.h"
#include "qzplatform/win32.h"

#include <commctrl.h>

#include "ui/win32/win32_device_box.h"
#include "ui/win32/win32_edit_control.h"

namespace demowin {

// A fixed dialog frame with a 482 x 487 client area at 96 DPI, scaled to the window's
// DPI; the controls keep the positions, sizes, captions and tab order of the original
// window. The controls of " Send HID Report " are real children of the group box, which
// hands their notifications on to the window and takes part in Tab navigation
// (WS_EX_CONTROLPARENT). Errors of any handler are shown by the toolkit's error report.
// Created hidden; the message loop passes its messages through IsDialogMessageW.
class HidDemoWindow final : public demo::DemoView {
 public:
  explicit HidDemoWindow(demo::DemoSettings settings = {});
  ~HidDemoWindow() override;
  HidDemoWindow(const HidDemoWindow&) = delete;
  HidDemoWindow& operator=(const HidDemoWindow&) = delete;

  HWND Handle() const { return hwnd_; }
  // Null once the window was destroyed (the presenter goes with it).
  demo::HidDemoForm* Form() const { return form_.get(); }
  UINT Dpi() const { return dpi_; }

  // The controls, under the original window's names. eIDSpin is the up-down half of eID.
  HWND Label1 = nullptr;
  std::unique_ptr<qzui::Win32DeviceBox> qzDeviceBox1;
  HWND ListView1 = nullptr;
  HWND CheckBox1 = nullptr;
  HWND TreeView1 = nullptr;
  HWND Memo1 = nullptr;
  HWND GroupBox1 = nullptr;
  HWND Label2 = nullptr;
  HWND Label3 = nullptr;
  HWND eID = nullptr;
  HWND eIDSpin = nullptr;
  HWND Edit1 = nullptr;
  HWND bSend = nullptr;
  HWND cbType = nullptr;
  HWND Button1 = nullptr;
  HWND Button2 = nullptr;
  HWND CheckBox2 = nullptr;
  HWND Button3 = nullptr;
  HWND Button4 = nullptr;
  HWND Button5 = nullptr;
  HWND Button6 = nullptr;
  // Below the memo: a note from the program (empty: hidden).
  HWND StatusLine = nullptr;

  // What the report group's controls hold; a typed ID is brought into 0..255 and shown so.
  demo::ReportRequest Request() const;
  // Whether a point of the client area is the window's background, not on a control (a
  // label or the group box passes its clicks on to the window).
  bool OnBackground(POINT client) const;

  // DemoView.
  void ShowTree(const std::vector<demo::TreeNode>& nodes, demo::NodePath selected) override;
  void ShowRows(const std::vector<demo::InfoRow>& rows) override;
  void AppendMemoLines(std::vector<qz::Text>& lines, std::size_t dropOldest) override;
  void SetActiveChecked(bool checked) override;
  void SetDataText(const qz::Text& text) override;
  void ShowMessage(const qz::Text& text) override;
  void SetStatus(const qz::Text& text) override;
  void SetBusy(bool busy) override;

 private:
  // A control and its place at 96 DPI in its parent's client area; a combo box's height
  // is that of its closed box, and `dropHeight` is added for its list.
  struct Placement {
    HWND control;
    RECT rect;  // left, top, width, height
    int dropHeight = 0;
  };

  // Registers the window class once (and the common controls it uses).
  static void RegisterWindowClass();
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK GroupBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR window);
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  void CreateControls();
  HWND Add(HWND parent, const wchar_t* cls, const wchar_t* caption, DWORD style, int id,
           RECT rect, DWORD exStyle = 0, int dropHeight = 0);
  // Places every control, sets the font and the frame for `dpi`; `suggested` is the
  // window rectangle the system proposes on a DPI change.
  void ApplyDpi(UINT dpi, const RECT* suggested);
  int Scale(int pixels) const;
  // The place of a control made by Add (every one but the up-down).
  const Placement& PlacementOf(HWND control) const;
  void OnCommand(WPARAM wParam, LPARAM lParam);
  void OnNotify(const NMHDR& header);
  void OnDestroy();
  // Runs a handler; its error goes to the toolkit's error report.
  template <typename F>
  void Run(F&& handler);
  demo::NodePath PathOf(HTREEITEM item) const;
  // Removes up to `count` of the memo's oldest whole lines; returns how many it removed.
  std::size_t DropOldestMemoLines(std::size_t count);

  HWND hwnd_ = nullptr;
  UINT dpi_ = 96;
  SIZE frame_{};  // the window's size for the layout at dpi_
  HFONT font_ = nullptr;
  std::vector<Placement> placements_;
  std::vector<HWND> labels_;  // widened to their caption when the font needs it
  std::unique_ptr<qzui::Win32EditControl> memo_;
  std::unique_ptr<demo::HidDemoForm> form_;
  bool shown_ = false;
  bool busy_ = false;
  bool filling_tree_ = false;  // the program fills the tree: its selection is no user's
  HWND last_focus_ = nullptr;
};

}  // namespace demowin
