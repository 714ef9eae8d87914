// The device selection box as a list-only QComboBox over the library's linking logic.
#pragma once

#include <QComboBox>

#include "qzlinkbox/device_box.h"

namespace qzui {

// The combo box is not editable, so the user can only pick one of the items. A pick
// (mouse, keyboard or wheel: QComboBox::activated) runs the box's change step; selecting
// from the program does not. An error of the change step is shown as the toolkit's error
// report. The logic object belongs to the widget and goes with it.
class DeviceBoxWidget : public QComboBox, public qz::DeviceListControl {
 public:
  explicit DeviceBoxWidget(QWidget* parent = nullptr);
  ~DeviceBoxWidget() override;

  qz::TqzDeviceBox& Box() { return box_; }

  void ClearItems() override;
  void AddItem(const qz::Text& text) override;
  std::int32_t ItemCount() const override;
  qz::Text ItemText(std::int32_t index) const override;
  std::int32_t ItemIndex() const override;
  void SetItemIndex(std::int32_t index) override;

 private:
  void OnActivated();

  qz::TqzDeviceBox box_;
};

}  // namespace qzui
