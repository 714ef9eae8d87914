// The HID Demo window on Qt Widgets: builds the controls, forwards each user action to the
// presenter and shows what the presenter tells it.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStringList>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>

#include <memory>

#include "presenter/demo_view.h"
#include "presenter/hid_demo_form.h"
#include "ui/qt/device_box_widget.h"

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

  // The controls, under the original window's names.
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

  // How long received lines are gathered before they go into the memo together, and the
  // most lines appended at once.
  static constexpr int kMemoFlushMs = 20;
  static constexpr qsizetype kMemoSliceLines = 5000;

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
  void FlushMemo();
  // Carries out the drops the presenter asked for: the memo's oldest lines first, then
  // (being newer than all of them) the oldest lines not yet shown.
  void DropOldestMemoLines();

  std::unique_ptr<demo::HidDemoForm> form_;
  bool shown_ = false;
  bool busy_ = false;
  QStringList memo_pending_;  // received lines not yet in the memo, in arrival order
  std::size_t memo_drop_ = 0;  // oldest lines to remove before the next append
  QTimer memo_flush_;
};

}  // namespace demoqt
