// The device selection box widget.
#include "ui/qt/device_box_widget.h"

#include "ui/qt/message_box.h"
#include "ui/qt/qt_text.h"

namespace qzui {

DeviceBoxWidget::DeviceBoxWidget(QWidget* parent) : QComboBox(parent), box_(nullptr, *this) {
  setEditable(false);
  connect(this, &QComboBox::activated, this, [this](int) { OnActivated(); });
}

DeviceBoxWidget::~DeviceBoxWidget() = default;

void DeviceBoxWidget::OnActivated() {
  try {
    box_.Change();
  } catch (...) {
    ShowErrorReport(this, std::current_exception());
  }
}

void DeviceBoxWidget::ClearItems() { clear(); }

void DeviceBoxWidget::AddItem(const qz::Text& text) { addItem(ToQString(text)); }

std::int32_t DeviceBoxWidget::ItemCount() const { return count(); }

qz::Text DeviceBoxWidget::ItemText(std::int32_t index) const { return FromQString(itemText(index)); }

std::int32_t DeviceBoxWidget::ItemIndex() const { return currentIndex(); }

void DeviceBoxWidget::SetItemIndex(std::int32_t index) {
  setCurrentIndex(index >= 0 && index < count() ? index : -1);
}

}  // namespace qzui
