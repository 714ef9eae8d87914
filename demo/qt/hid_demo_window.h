// The HID Demo window on Qt Widgets: builds the controls, forwards each user action to the
// presenter and shows what the presenter tells it.
#pragma once

#include <QWidget>

#include <memory>

#include "presenter/demo_view.h"
#include "presenter/hid_demo_form.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTreeWidget;
class QTreeWidgetItem;

namespace qzui {
class DeviceBoxWidget;
}

namespace demoqt {

// A fixed dialog frame with a 482 x 487 client area; the controls keep the positions,
// sizes, captions and tab order of the original window. Errors of any handler are shown
// by the toolkit's error report. Needs a QApplication and, for received reports, an
// installed main-thread dispatcher.
class HidDemoWindow : public QWidget, public demo::DemoView {
 public:
  explicit HidDemoWindow(demo::DemoSettings settings = {});
  ~HidDemoWindow() override;

  demo::HidDemoForm& Form() const { return *form_; }

  // What the report group's controls hold; a typed ID is brought into 0..255 and shown so.
  demo::ReportRequest Request() const;

  // DemoView.
  void ShowTree(const std::vector<demo::TreeNode>& nodes, demo::NodePath selected) override;
  void ShowRows(const std::vector<demo::InfoRow>& rows) override;
  void AppendMemoLines(std::vector<qz::Text>& lines, std::size_t dropOldest) override;
  void SetActiveChecked(bool checked) override;
  void SetDataText(const qz::Text& text) override;
  void ShowMessage(const qz::Text& text) override;
  void SetStatus(const qz::Text& text) override;
  void SetBusy(bool busy) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void CreateControls();
  void SetTabOrder();
  void Connect();
  // Runs a handler; its error goes to the toolkit's error report.
  template <typename F>
  void Run(F&& handler);
  demo::NodePath PathOf(QTreeWidgetItem* item) const;

  std::unique_ptr<demo::HidDemoForm> form_;
  bool shown_ = false;
  bool busy_ = false;

  // The controls, under the original window's names (also their object names).
  QLabel* Label1;
  qzui::DeviceBoxWidget* qzDeviceBox1;
  QTreeWidget* ListView1;
  QCheckBox* CheckBox1;
  QTreeWidget* TreeView1;
  QPlainTextEdit* Memo1;
  QGroupBox* GroupBox1;
  QLabel* Label2;
  QLabel* Label3;
  QSpinBox* eID;
  QLineEdit* Edit1;
  QPushButton* bSend;
  QComboBox* cbType;
  QPushButton* Button1;
  QPushButton* Button2;
  QCheckBox* CheckBox2;
  QPushButton* Button3;
  QPushButton* Button4;
  QPushButton* Button5;
  QPushButton* Button6;
  // Below the memo: the note that the demo runs on simulated devices; hidden while empty.
  QLabel* StatusLine;
};

}  // namespace demoqt
