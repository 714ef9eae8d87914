// The HID Demo window on Qt Widgets.
#include "hid_demo_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QStringList>
#include <QTextDocument>
#include <QTreeWidget>

#include <algorithm>
#include <chrono>

#include "presenter/report_composer.h"
#include "qt/memo_lines.h"
#include "ui/qt/device_box_widget.h"
#include "ui/qt/message_box.h"
#include "ui/qt/qt_text.h"

namespace demoqt {

using qzui::FromQString;
using qzui::ToQString;

namespace {

constexpr int kClientWidth = 482;
constexpr int kClientHeight = 487;
// Received lines gather this long before they go into the memo together: each append
// costs a layout and a repaint whatever its size.
constexpr std::chrono::milliseconds kMemoGather{20};

// The report ID field: any number can be typed; leaving the field (or pressing a send
// button) brings it into 0..255, and an emptied field reads 0.
class ReportIdSpinBox : public QSpinBox {
 public:
  using QSpinBox::QSpinBox;

 protected:
  QValidator::State validate(QString& input, int& pos) const override {
    const QValidator::State state = QSpinBox::validate(input, pos);
    if (state == QValidator::Acceptable) return state;
    const QString t = input.trimmed();
    const bool digits = std::all_of(t.begin(), t.end(), [](QChar c) { return c.isDigit(); });
    return digits ? QValidator::Intermediate : state;
  }
  void fixup(QString& input) const override {
    input = QString::number(demo::ReportIdFromText(FromQString(input)));
  }
};

// Tests and tools find a control by its name.
template <typename W>
W* Place(W* widget, const char* name, int left, int top, int width, int height) {
  widget->setObjectName(QLatin1String(name));
  widget->setGeometry(left, top, width, height);
  return widget;
}

}  // namespace

HidDemoWindow::HidDemoWindow(demo::DemoSettings settings)
    : QWidget(nullptr,
              Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                  Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setWindowTitle(QStringLiteral("HID Demo - qzLink Lib"));
  setFixedSize(kClientWidth, kClientHeight);
  move(403, 189);
  // The original's 8-point font is 11 pixels high at 96 pixels per inch.
  QFont f = font();
  f.setPixelSize(11);
  setFont(f);
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);

  CreateControls();
  SetTabOrder();
  // The components come after the controls; linking the box makes the first enumeration.
  settings.memoGather = kMemoGather;
  form_ = std::make_unique<demo::HidDemoForm>(*this, qzDeviceBox1->Box(), std::move(settings));
  Connect();
}

HidDemoWindow::~HidDemoWindow() {
  // The components go before the controls they talk to.
  form_.reset();
  if (busy_) QGuiApplication::restoreOverrideCursor();
}

void HidDemoWindow::CreateControls() {
  Label1 = Place(new QLabel(tr("Events Log:"), this), "Label1", 16, 372, 57, 13);
  qzDeviceBox1 = Place(new qzui::DeviceBoxWidget(this), "qzDeviceBox1", 16, 48, 449, 21);

  ListView1 = Place(new QTreeWidget(this), "ListView1", 168, 80, 299, 137);
  ListView1->setColumnCount(2);
  ListView1->setHeaderLabels({tr("Property"), tr("Value")});
  ListView1->header()->resizeSection(0, 100);
  ListView1->header()->setStretchLastSection(true);
  ListView1->setRootIsDecorated(false);
  ListView1->setItemsExpandable(false);
  ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListView1->setAllColumnsShowFocus(true);
  ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);

  CheckBox1 = Place(new QCheckBox(tr("Active selected HID device"), this), "CheckBox1", 16, 24, 193, 17);

  TreeView1 = Place(new QTreeWidget(this), "TreeView1", 16, 80, 137, 137);
  TreeView1->setHeaderHidden(true);
  TreeView1->setIndentation(19);
  TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);

  Memo1 = Place(new QPlainTextEdit(this), "Memo1", 16, 392, 449, 73);
  // Lines arrive by the thousand: no undo history is kept for them.
  Memo1->document()->setUndoRedoEnabled(false);

  GroupBox1 = Place(new QGroupBox(tr(" Send HID Report "), this), "GroupBox1", 16, 224, 449, 121);
  Label2 = Place(new QLabel(tr("ID:"), GroupBox1), "Label2", 15, 19, 14, 13);
  Label3 = Place(new QLabel(tr("Data:"), GroupBox1), "Label3", 156, 20, 26, 13);
  eID = Place(new ReportIdSpinBox(GroupBox1), "eID", 12, 38, 57, 22);
  eID->setRange(0, 255);
  eID->setValue(0);
  Edit1 = Place(new QLineEdit(tr("Hello Device"), GroupBox1), "Edit1", 155, 38, 238, 21);
  bSend = Place(new QPushButton(tr("Send"), GroupBox1), "bSend", 160, 81, 65, 24);
  cbType = Place(new QComboBox(GroupBox1), "cbType", 74, 38, 74, 21);
  cbType->addItems({tr("ASCII"), tr("HEX")});
  cbType->setCurrentIndex(-1);
  Button1 = Place(new QPushButton(tr("Send2"), GroupBox1), "Button1", 240, 80, 65, 25);
  Button2 = Place(new QPushButton(tr("Send3"), GroupBox1), "Button2", 328, 80, 65, 25);
  CheckBox2 = Place(new QCheckBox(tr("Fixed Length"), GroupBox1), "CheckBox2", 16, 84, 97, 17);

  Button3 = Place(new QPushButton(tr("Get More Details"), this), "Button3", 336, 16, 129, 25);
  Button4 = Place(new QPushButton(tr("Disable"), this), "Button4", 168, 352, 75, 25);
  Button5 = Place(new QPushButton(tr("Enable"), this), "Button5", 256, 352, 75, 25);
  Button6 = Place(new QPushButton(tr("Restart"), this), "Button6", 344, 352, 75, 25);

  // The window's own addition, under the memo: why it shows simulated devices, if it does.
  StatusLine = Place(new QLabel(this), "StatusLine", 16, 468, 449, 16);
  StatusLine->hide();

  for (QLabel* label : {Label1, Label2, Label3, StatusLine}) label->setFocusPolicy(Qt::NoFocus);
  // Labels size themselves to their caption, as the original's do: a wider font widens them.
  for (QLabel* label : {Label1, Label2, Label3}) {
    label->resize(std::max(label->width(), label->sizeHint().width()), label->height());
  }
}

void HidDemoWindow::SetTabOrder() {
  const QList<QWidget*> window = {qzDeviceBox1, ListView1, CheckBox1, TreeView1, Memo1,
                                  eID, Edit1, bSend, cbType, Button1, Button2, CheckBox2,
                                  Button3, Button4, Button5, Button6};
  for (qsizetype i = 1; i < window.size(); ++i) setTabOrder(window[i - 1], window[i]);
}

void HidDemoWindow::Connect() {
  connect(CheckBox1, &QCheckBox::toggled, this,
          [this](bool checked) { Run([&] { form_->CheckBox1Click(checked); }); });
  connect(TreeView1, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item, QTreeWidgetItem*) {
            Run([&] { form_->TreeView1Change(PathOf(item)); });
          });
  connect(cbType, &QComboBox::activated, this, [this](int index) {
    Run([&] { form_->cbTypeChange(index, FromQString(Edit1->text())); });
  });
  connect(bSend, &QPushButton::clicked, this, [this] { Run([&] { form_->bSendClick(Request()); }); });
  connect(Button1, &QPushButton::clicked, this,
          [this] { Run([&] { form_->Button1Click(Request()); }); });
  connect(Button2, &QPushButton::clicked, this,
          [this] { Run([&] { form_->Button2Click(Request()); }); });
  connect(Button3, &QPushButton::clicked, this, [this] { Run([&] { form_->Button3Click(); }); });
  connect(Button4, &QPushButton::clicked, this, [this] { Run([&] { form_->Button4Click(); }); });
  connect(Button5, &QPushButton::clicked, this, [this] { Run([&] { form_->Button5Click(); }); });
  connect(Button6, &QPushButton::clicked, this, [this] { Run([&] { form_->Button6Click(); }); });
}

template <typename F>
void HidDemoWindow::Run(F&& handler) {
  try {
    handler();
  } catch (...) {
    qzui::ShowErrorReport(this, std::current_exception());
  }
}

demo::ReportRequest HidDemoWindow::Request() const {
  demo::ReportRequest request;
  eID->interpretText();  // a typed value counts, brought back into 0..255
  request.reportId = eID->value();
  request.reading = cbType->currentIndex();
  request.data = FromQString(Edit1->text());
  request.fixedLength = CheckBox2->isChecked();
  return request;
}

demo::NodePath HidDemoWindow::PathOf(QTreeWidgetItem* item) const {
  if (!item) return {};
  if (QTreeWidgetItem* parent = item->parent()) {
    return {TreeView1->indexOfTopLevelItem(parent), parent->indexOfChild(item)};
  }
  return {TreeView1->indexOfTopLevelItem(item), -1};
}

void HidDemoWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_ || event->spontaneous()) return;
  shown_ = true;
  Run([&] { form_->FormShow(); });
}

void HidDemoWindow::mouseDoubleClickEvent(QMouseEvent* event) {
  QWidget::mouseDoubleClickEvent(event);
  // Labels and the group box pass their clicks on to the window: only its background counts.
  if (childAt(event->position().toPoint())) return;
  Run([&] { form_->FormDblClick(); });
}

void HidDemoWindow::ShowTree(const std::vector<demo::TreeNode>& nodes, demo::NodePath selected) {
  const QSignalBlocker block(TreeView1);
  TreeView1->clear();
  for (const demo::TreeNode& node : nodes) {
    auto* top = new QTreeWidgetItem(TreeView1, {ToQString(demo::NodeText(node))});
    top->setData(0, Qt::UserRole, node.data);
    for (const demo::TreeNode& child : node.children) {
      new QTreeWidgetItem(top, {ToQString(demo::NodeText(child))});
    }
  }
  QTreeWidgetItem* current = nullptr;
  if (selected.top >= 0 && selected.top < TreeView1->topLevelItemCount()) {
    current = TreeView1->topLevelItem(selected.top);
    if (selected.child >= 0) current = current->child(selected.child);
  }
  TreeView1->setCurrentItem(current);
}

void HidDemoWindow::ShowRows(const std::vector<demo::InfoRow>& rows) {
  ListView1->clear();
  for (const demo::InfoRow& row : rows) {
    new QTreeWidgetItem(ListView1, {ToQString(row.property), ToQString(demo::ValueText(row))});
  }
}

void HidDemoWindow::AppendMemoLines(std::vector<qz::Text>& lines, std::size_t dropOldest) {
  // Drops past the memo's own lines take the oldest of the new ones.
  const std::size_t fromMemo = demo::DropOldestLines(*Memo1, dropOldest);
  const std::size_t skip = std::min(dropOldest - fromMemo, lines.size());
  if (skip == lines.size()) return;
  QStringList text;
  text.reserve(static_cast<qsizetype>(lines.size() - skip));
  for (std::size_t i = skip; i < lines.size(); ++i) text.push_back(ToQString(lines[i]));
  Memo1->appendPlainText(text.join(QLatin1Char('\n')));
}

void HidDemoWindow::SetActiveChecked(bool checked) { CheckBox1->setChecked(checked); }

void HidDemoWindow::SetDataText(const qz::Text& text) { Edit1->setText(ToQString(text)); }

void HidDemoWindow::ShowMessage(const qz::Text& text) { qzui::ShowMessageBox(this, text); }

void HidDemoWindow::SetStatus(const qz::Text& text) {
  StatusLine->setText(ToQString(text));
  StatusLine->setVisible(!text.empty());
}

void HidDemoWindow::SetBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QGuiApplication::restoreOverrideCursor();
  }
}

}  // namespace demoqt
