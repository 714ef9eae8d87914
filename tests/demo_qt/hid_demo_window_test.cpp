// The HID Demo window driven like a user would, on the sim ground's built-in devices:
// layout, start-up, activation and received reports, the three sends, picking a device,
// Get More Details, the data-type switch, the device actions and the double click.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTextBlock>
#include <QTreeWidget>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>

#include "qt/hid_demo_window.h"
#include "qt_pump.h"
#include "qzplatform/sim/sim_ground.h"
#include "ui/qt/message_box.h"
#include "ui/qt/message_box_hook.h"
#include "ui/qt/qt_dispatcher.h"
#include "ui/qt/qt_text.h"

namespace {

using qz::Text;
using qzplatform::sim::Machine;
using Bytes = std::vector<std::uint8_t>;

class HidDemoWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qz::Dispatcher::Install(&dispatcher);
    qzui::SetMessageBoxHook([this](const Text& text, qzui::BoxKind kind) {
      boxes.push_back({text, kind});
    });
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    log_path = ::testing::TempDir() + "hid_demo_window_" + info->name() + "_" +
               std::to_string(getpid()) + ".log";
  }
  void TearDown() override {
    window.reset();
    qzui::SetMessageBoxHook({});
    qz::Dispatcher::Install(nullptr);
    qzplatform::SetGround(nullptr);
    std::remove(log_path.c_str());
  }

  void Start(std::shared_ptr<Machine> m = Machine::Default()) {
    machine = qzplatform::sim::Install(m);
    demo::DemoSettings settings;
    settings.logFileName = qz::TextFromUtf8(log_path);
    window = std::make_unique<demoqt::HidDemoWindow>(settings);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  }

  // A control of the window, found by its name as a user's tool would.
  template <typename W>
  W* Control(const char* name) const {
    W* widget = window->findChild<W*>(QLatin1String(name));
    if (!widget) throw std::runtime_error(std::string("no control named ") + name);
    return widget;
  }

  // The box item standing for a device of the machine, by its product ID.
  int ItemOf(const char* name) {
    const auto wanted = machine->Description(machine->FindDevice(name)).product_id;
    auto& hid = window->Form().Hid();
    for (int i = 0; i < hid.GetDeviceCount(); ++i) {
      auto* d = dynamic_cast<qz::TqzHidDevice*>(hid.GetDevice(i));
      if (d && d->ProductId() == wanted) return i;
    }
    return -1;
  }
  // Picks a box item with the keyboard, as a user would.
  void PickWithKeyboard(int item) {
    auto* box = Control<QComboBox>("qzDeviceBox1");
    box->setFocus();
    while (box->currentIndex() < item) QTest::keyClick(box, Qt::Key_Down);
    while (box->currentIndex() > item) QTest::keyClick(box, Qt::Key_Up);
  }
  void ClickActive() {
    QTest::mouseClick(Control<QCheckBox>("CheckBox1"), Qt::LeftButton, {}, QPoint(4, 8));
  }

  std::vector<QString> MemoLines() const {
    std::vector<QString> lines;
    const QTextDocument* doc = Control<QPlainTextEdit>("Memo1")->document();
    if (doc->isEmpty()) return lines;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) lines.push_back(b.text());
    return lines;
  }
  QString Row(const QString& property) const {
    for (int i = 0; i < Control<QTreeWidget>("ListView1")->topLevelItemCount(); ++i) {
      auto* item = Control<QTreeWidget>("ListView1")->topLevelItem(i);
      if (item->text(0) == property) return item->text(1);
    }
    return QStringLiteral("<none>");
  }
  std::vector<QString> TopNodes() const {
    std::vector<QString> nodes;
    for (int i = 0; i < Control<QTreeWidget>("TreeView1")->topLevelItemCount(); ++i)
      nodes.push_back(Control<QTreeWidget>("TreeView1")->topLevelItem(i)->text(0));
    return nodes;
  }

  qzui::QtDispatcher dispatcher;
  std::string log_path;
  std::shared_ptr<Machine> machine;
  std::unique_ptr<demoqt::HidDemoWindow> window;
  std::vector<std::pair<Text, qzui::BoxKind>> boxes;
};

TEST_F(HidDemoWindowTest, ControlsHaveTheirCaptionsPositionsSizesAndTabOrder) {
  Start();
  EXPECT_EQ(window->windowTitle(), QStringLiteral("HID Demo - qzLink Lib"));
  EXPECT_EQ(window->size(), QSize(482, 487));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());  // not resizable
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMinMaxButtonsHint);
  struct Expected {
    QWidget* widget;
    QWidget* parent;
    QRect geometry;
    QString caption;
  };
  auto* w = window.get();
  auto* g = Control<QGroupBox>("GroupBox1");
  const std::vector<Expected> table{
      {Control<QComboBox>("qzDeviceBox1"), w, {16, 48, 449, 21}, {}},
      {Control<QTreeWidget>("ListView1"), w, {168, 80, 299, 137}, {}},
      {Control<QCheckBox>("CheckBox1"), w, {16, 24, 193, 17}, "Active selected HID device"},
      {Control<QTreeWidget>("TreeView1"), w, {16, 80, 137, 137}, {}},
      {Control<QPlainTextEdit>("Memo1"), w, {16, 392, 449, 73}, {}},
      {Control<QGroupBox>("GroupBox1"), w, {16, 224, 449, 121}, " Send HID Report "},
      {Control<QSpinBox>("eID"), g, {12, 38, 57, 22}, {}},
      {Control<QLineEdit>("Edit1"), g, {155, 38, 238, 21}, {}},
      {Control<QPushButton>("bSend"), g, {160, 81, 65, 24}, "Send"},
      {Control<QComboBox>("cbType"), g, {74, 38, 74, 21}, {}},
      {Control<QPushButton>("Button1"), g, {240, 80, 65, 25}, "Send2"},
      {Control<QPushButton>("Button2"), g, {328, 80, 65, 25}, "Send3"},
      {Control<QCheckBox>("CheckBox2"), g, {16, 84, 97, 17}, "Fixed Length"},
      {Control<QPushButton>("Button3"), w, {336, 16, 129, 25}, "Get More Details"},
      {Control<QPushButton>("Button4"), w, {168, 352, 75, 25}, "Disable"},
      {Control<QPushButton>("Button5"), w, {256, 352, 75, 25}, "Enable"},
      {Control<QPushButton>("Button6"), w, {344, 352, 75, 25}, "Restart"},
      {Control<QLabel>("Label1"), w, {16, 372, 57, 13}, "Events Log:"},
      {Control<QLabel>("Label2"), g, {15, 19, 14, 13}, "ID:"},
      {Control<QLabel>("Label3"), g, {156, 20, 26, 13}, "Data:"},
  };
  for (const Expected& e : table) {
    SCOPED_TRACE(e.caption.toStdString() + " " + e.widget->metaObject()->className());
    EXPECT_EQ(e.widget->parentWidget(), e.parent);
    if (qobject_cast<QLabel*>(e.widget)) {
      // Labels size themselves to their caption: never narrower than the original's.
      EXPECT_EQ(e.widget->pos(), e.geometry.topLeft());
      EXPECT_EQ(e.widget->height(), e.geometry.height());
      EXPECT_GE(e.widget->width(), e.geometry.width());
    } else {
      EXPECT_EQ(e.widget->geometry(), e.geometry);
    }
    if (auto* b = qobject_cast<QAbstractButton*>(e.widget)) {
      EXPECT_EQ(b->text(), e.caption);
    } else if (auto* l = qobject_cast<QLabel*>(e.widget)) {
      EXPECT_EQ(l->text(), e.caption);
    } else if (auto* gb = qobject_cast<QGroupBox*>(e.widget)) {
      EXPECT_EQ(gb->title(), e.caption);
    }
  }
  EXPECT_EQ(Control<QLineEdit>("Edit1")->text(), QStringLiteral("Hello Device"));
  EXPECT_EQ(Control<QComboBox>("cbType")->count(), 2);
  EXPECT_EQ(Control<QComboBox>("cbType")->currentIndex(), -1);
  EXPECT_EQ(Control<QSpinBox>("eID")->minimum(), 0);
  EXPECT_EQ(Control<QSpinBox>("eID")->maximum(), 255);
  EXPECT_FALSE(Control<QCheckBox>("CheckBox1")->isChecked());
  EXPECT_FALSE(Control<QCheckBox>("CheckBox2")->isChecked());
  EXPECT_FALSE(Control<QComboBox>("qzDeviceBox1")->isEditable());
  EXPECT_EQ(Control<QTreeWidget>("TreeView1")->indentation(), 19);
  EXPECT_EQ(Control<QTreeWidget>("ListView1")->headerItem()->text(0), QStringLiteral("Property"));
  EXPECT_EQ(Control<QTreeWidget>("ListView1")->headerItem()->text(1), QStringLiteral("Value"));
  EXPECT_EQ(Control<QTreeWidget>("ListView1")->header()->sectionSize(0), 100);
  EXPECT_FALSE(Control<QLabel>("StatusLine")->isVisible());
  // Tab order: the window's controls, the group's in between.
  std::vector<QWidget*> order;
  for (const char* name : {"qzDeviceBox1", "ListView1", "CheckBox1", "TreeView1", "Memo1", "eID", "Edit1",
                           "bSend", "cbType", "Button1", "Button2", "CheckBox2", "Button3", "Button4",
                           "Button5", "Button6"}) {
    order.push_back(Control<QWidget>(name));
  }
  for (std::size_t i = 1; i < order.size(); ++i) {
    QWidget* next = order[i - 1]->nextInFocusChain();
    while (next && next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
    if (qobject_cast<QSpinBox*>(order[i - 1])) continue;  // its line edit comes in between
    EXPECT_EQ(next, order[i]) << i;
  }
}

TEST_F(HidDemoWindowTest, StartUpFillsTheBoxAndTheTree) {
  Start();
  auto& hid = window->Form().Hid();
  ASSERT_GE(hid.GetDeviceCount(), 3);
  EXPECT_EQ(Control<QComboBox>("qzDeviceBox1")->count(), hid.GetDeviceCount());
  EXPECT_EQ(Control<QComboBox>("qzDeviceBox1")->currentIndex(), 0);
  EXPECT_EQ(TopNodes(), (std::vector<QString>{"General HID Info", "Input Buttons", "Input Values"}));
  auto* tree = Control<QTreeWidget>("TreeView1");
  EXPECT_EQ(tree->currentItem(), tree->topLevelItem(0));
  EXPECT_EQ(Row("VendorID"), QStringLiteral("1209"));
  EXPECT_EQ(Row("ProductID"), QStringLiteral("0001"));
  // Selecting a child shows its capability entry.
  tree->setCurrentItem(tree->topLevelItem(1)->child(0));
  EXPECT_EQ(Row("Usage Min/Max"), QStringLiteral("1 / 3"));
}

TEST_F(HidDemoWindowTest, CheckingActiveOpensTheDeviceAndReportsArriveInTheMemo) {
  Start();
  PickWithKeyboard(ItemOf("echo"));
  ClickActive();
  ASSERT_TRUE(Control<QCheckBox>("CheckBox1")->isChecked());
  ASSERT_TRUE(window->Form().Hid().GetActive());
  EXPECT_TRUE(boxes.empty());
  const std::size_t echo = machine->FindDevice("echo");
  for (int i = 0; i < 30; ++i) {
    Bytes report(65, 0);
    report[1] = static_cast<std::uint8_t>(i);
    ASSERT_TRUE(machine->PushInput(echo, report));
  }
  ASSERT_TRUE(qttest::PumpUntil([&] { return MemoLines().size() == 30; })) << MemoLines().size();
  const auto lines = MemoLines();
  for (int i = 0; i < 30; ++i) {
    const QString expected = QString::asprintf("HID Report is received:  65 bytes 00 %02X ", i) +
                             QStringLiteral("00 ").repeated(63);
    ASSERT_EQ(lines[i], expected) << i;
  }
  ClickActive();
  EXPECT_FALSE(Control<QCheckBox>("CheckBox1")->isChecked());
  EXPECT_FALSE(window->Form().Hid().GetActive());
}

TEST_F(HidDemoWindowTest, CheckingActiveWithoutADeviceShowsTheErrorAndStaysUnchecked) {
  Start(Machine::LoadJson(R"({"devices": []})"));
  EXPECT_EQ(Control<QComboBox>("qzDeviceBox1")->count(), 0);
  EXPECT_EQ(Control<QTreeWidget>("TreeView1")->topLevelItemCount(), 0);
  EXPECT_EQ(Control<QTreeWidget>("ListView1")->topLevelItemCount(), 0);
  ClickActive();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].first, u"Active device is not selected");
  EXPECT_EQ(boxes[0].second, qzui::BoxKind::Error);
  EXPECT_FALSE(Control<QCheckBox>("CheckBox1")->isChecked());
  EXPECT_FALSE(window->Form().Hid().GetActive());
}

TEST_F(HidDemoWindowTest, SendButtonsHandTheComposedBytesToTheDevice) {
  Start();
  PickWithKeyboard(ItemOf("echo"));
  ClickActive();
  ASSERT_TRUE(window->Form().Hid().GetActive());
  const std::size_t echo = machine->FindDevice("echo");
  Control<QComboBox>("cbType")->setCurrentIndex(0);  // ASCII
  Control<QLineEdit>("Edit1")->setText(QStringLiteral("AB"));
  Control<QSpinBox>("eID")->setValue(0);
  QTest::mouseClick(Control<QCheckBox>("CheckBox2"), Qt::LeftButton, {}, QPoint(4, 8));
  ASSERT_TRUE(Control<QCheckBox>("CheckBox2")->isChecked());
  Bytes expected(65, 0);
  expected[1] = 'A';
  expected[2] = 'B';

  QTest::mouseClick(Control<QPushButton>("bSend"), Qt::LeftButton);
  EXPECT_EQ(machine->TakeOutputReports(echo), std::vector<Bytes>{expected});
  QTest::mouseClick(Control<QPushButton>("Button1"), Qt::LeftButton);
  std::vector<Bytes> sent;
  ASSERT_TRUE(qttest::PumpUntil([&] {
    auto more = machine->TakeOutputReports(echo);
    sent.insert(sent.end(), more.begin(), more.end());
    return !sent.empty();
  }));
  EXPECT_EQ(sent, std::vector<Bytes>{expected});
  QTest::mouseClick(Control<QPushButton>("Button2"), Qt::LeftButton);
  EXPECT_EQ(machine->TakeOutputReports(echo), std::vector<Bytes>{expected});
  // The echo device sends each report back: three lines in the memo.
  ASSERT_TRUE(qttest::PumpUntil([&] { return MemoLines().size() == 3; }));
  EXPECT_TRUE(MemoLines()[0].startsWith(QStringLiteral("HID Report is received:  65 bytes 00 41 42 00 ")));
}

TEST_F(HidDemoWindowTest, PickingAnotherDeviceRebuildsTheView) {
  Start();
  PickWithKeyboard(ItemOf("echo"));
  EXPECT_EQ(window->Form().Hid().GetDeviceIndex(), ItemOf("echo"));
  EXPECT_EQ(TopNodes(), (std::vector<QString>{"General HID Info", "Input Values", "Output Values",
                                              "Feature Values"}));
  EXPECT_EQ(Row("ProductID"), QStringLiteral("0003"));
  EXPECT_EQ(Row("I/O Length"), QStringLiteral("65/65"));
  PickWithKeyboard(ItemOf("mouse"));
  EXPECT_EQ(Row("ProductID"), QStringLiteral("0001"));
}

TEST_F(HidDemoWindowTest, GetMoreDetailsAddsTheSerialNumberRow) {
  Start();
  PickWithKeyboard(ItemOf("echo"));
  EXPECT_EQ(Row("S/N"), QStringLiteral("<none>"));
  const QString listed = Control<QComboBox>("qzDeviceBox1")->currentText();
  QTest::mouseClick(Control<QPushButton>("Button3"), Qt::LeftButton);
  EXPECT_EQ(Row("S/N"), QStringLiteral("SIM-0003-0001"));
  EXPECT_EQ(Control<QComboBox>("qzDeviceBox1")->currentText(), listed);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);  // the busy cursor is gone again
}

TEST_F(HidDemoWindowTest, PickingADataReadingConvertsTheData) {
  Start();
  Control<QComboBox>("cbType")->setCurrentIndex(0);  // from the program: no conversion
  EXPECT_EQ(Control<QLineEdit>("Edit1")->text(), QStringLiteral("Hello Device"));
  Control<QComboBox>("cbType")->setFocus();
  QTest::keyClick(Control<QComboBox>("cbType"), Qt::Key_Down);  // the user picks HEX
  EXPECT_EQ(Control<QLineEdit>("Edit1")->text(), QStringLiteral("48656C6C6F20446576696365"));
  QTest::keyClick(Control<QComboBox>("cbType"), Qt::Key_Up);  // and ASCII again
  EXPECT_EQ(Control<QLineEdit>("Edit1")->text(), QStringLiteral("Hello Device"));
}

TEST_F(HidDemoWindowTest, DeviceActionsChangeTheSelectedDevicesState) {
  Start();
  PickWithKeyboard(ItemOf("echo"));
  ClickActive();
  const qz::Text instance = window->Form().Hid().HidDevice()->InstanceId;
  QTest::mouseClick(Control<QPushButton>("Button4"), Qt::LeftButton);
  QTest::mouseClick(Control<QPushButton>("Button5"), Qt::LeftButton);
  QTest::mouseClick(Control<QPushButton>("Button6"), Qt::LeftButton);
  // Disable, enable (which may take more than one change), restart, in that order.
  const auto changes = machine->TakePropertyChanges();
  ASSERT_GE(changes.size(), 3u);
  EXPECT_EQ(changes.front().state, 2u);
  for (std::size_t i = 1; i + 1 < changes.size(); ++i) EXPECT_EQ(changes[i].state, 1u);
  EXPECT_EQ(changes.back().state, 3u);
  for (const auto& change : changes) EXPECT_EQ(change.instance_id, instance);
  // The disabled device failed the pending read: the component closed itself, and the
  // check box and the memo say so.
  ASSERT_TRUE(qttest::PumpUntil([&] { return !Control<QCheckBox>("CheckBox1")->isChecked(); }));
  EXPECT_FALSE(window->Form().Hid().GetActive());
  EXPECT_TRUE(boxes.empty());
  ASSERT_TRUE(qttest::PumpUntil([&] { return !MemoLines().empty(); }));
  EXPECT_EQ(MemoLines().back(),
            QStringLiteral("Device closed: reading from it failed (it was unplugged, disabled or restarted)"));
}

TEST_F(HidDemoWindowTest, DoubleClickOnTheBackgroundShowsVendorAndProduct) {
  Start();
  // Labels and the group box pass their clicks on to the window: they are no background.
  QTest::mouseDClick(Control<QLabel>("Label1"), Qt::LeftButton, {}, QPoint(3, 3));
  QTest::mouseDClick(Control<QLabel>("Label2"), Qt::LeftButton, {}, QPoint(3, 3));
  QTest::mouseDClick(Control<QGroupBox>("GroupBox1"), Qt::LeftButton, {}, QPoint(430, 110));
  EXPECT_TRUE(boxes.empty());
  QTest::mouseDClick(window.get(), Qt::LeftButton, {}, QPoint(5, 5));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].first, u"4617 1 ");
  EXPECT_EQ(boxes[0].second, qzui::BoxKind::Plain);
}

TEST_F(HidDemoWindowTest, AnEmptiedReportIdReadsZeroAndATypedValueOver255Reads255) {
  Start();
  const auto typeId = [&](const QString& typed) {
    Control<QSpinBox>("eID")->setFocus();
    Control<QSpinBox>("eID")->selectAll();
    QTest::keyClick(Control<QSpinBox>("eID"), Qt::Key_Backspace);
    QTest::keyClicks(Control<QSpinBox>("eID"), typed);
    return window->Request().reportId;
  };
  EXPECT_EQ(typeId(QStringLiteral("7")), 7);
  EXPECT_EQ(typeId(QStringLiteral("300")), 255);
  EXPECT_EQ(Control<QSpinBox>("eID")->text(), QStringLiteral("255"));
  EXPECT_EQ(typeId(QString()), 0);
  EXPECT_EQ(Control<QSpinBox>("eID")->text(), QStringLiteral("0"));
}

TEST_F(HidDemoWindowTest, TheMemoDropsItsOldestLinesAsThePresenterSays) {
  Start();
  std::vector<Text> lines = {u"1", u"2", u"3", u"4", u"5"};
  window->AppendMemoLines(lines, 0);
  ASSERT_TRUE(qttest::PumpUntil([&] { return MemoLines().size() == 5; }));
  // The memo's five, then the oldest of the lines not yet shown.
  lines = {u"6", u"7", u"8"};
  window->AppendMemoLines(lines, 6);
  ASSERT_TRUE(qttest::PumpUntil([&] { return MemoLines().size() == 2; }));
  EXPECT_EQ(MemoLines(), (std::vector<QString>{"7", "8"}));
  lines = {u"9"};
  window->AppendMemoLines(lines, 1);
  ASSERT_TRUE(qttest::PumpUntil([&] { return MemoLines().back() == QStringLiteral("9"); }));
  EXPECT_EQ(MemoLines(), (std::vector<QString>{"8", "9"}));
}

}  // namespace
