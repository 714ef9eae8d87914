// The device selection box as a list-only COMBOBOX over the library's linking logic.
#pragma once

#include "qzlinkbox/device_box.h"
#include "qzplatform/win32.h"

namespace qzui {

// A CBS_DROPDOWNLIST combo box, so the user can only pick one of the items. The parent
// forwards its WM_COMMAND messages to HandleCommand: a pick by the user (CBN_SELCHANGE)
// runs the box's change step; selecting from the program (CB_SETCURSEL) sends no
// notification and so does not. An error of the change step is shown as the toolkit's
// error report. The logic object belongs to the control and goes with it.
class Win32DeviceBox : public qz::DeviceListControl {
 public:
  // Creates the combo box as child `id` of `parent` at the given place (pixels of the
  // parent's client area); the drop-down list opens below it, with room for several
  // items. Throws qz::Error when the window cannot be made.
  Win32DeviceBox(HWND parent, int id, int left, int top, int width, int height);
  ~Win32DeviceBox() override;

  qz::TqzDeviceBox& Box() { return box_; }
  HWND Handle() const { return combo_; }
  // True when the command came from this box (and was handled).
  bool HandleCommand(WPARAM wParam, LPARAM lParam);

  void ClearItems() override;
  void AddItem(const qz::Text& text) override;
  std::int32_t ItemCount() const override;
  // Throws qz::RangeError for an index outside the items.
  qz::Text ItemText(std::int32_t index) const override;
  std::int32_t ItemIndex() const override;
  void SetItemIndex(std::int32_t index) override;

 private:
  HWND combo_;
  int id_;
  qz::TqzDeviceBox box_;
};

}  // namespace qzui
