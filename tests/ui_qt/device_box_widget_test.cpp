// The device selection box widget: list-only, filled from its component, a user's pick
// (keyboard) passes the index back and fires OnChange, a program's selection does not, and
// an error of the pick is reported instead of crossing Qt's event loop.
#include <gtest/gtest.h>

#include <QTest>

#include "box_capture.h"
#include "qzclasses/errors.h"
#include "toolkit_doubles.h"
#include "ui/qt/device_box_widget.h"
#include "ui/qt/message_box.h"
#include "ui/qt/message_box_hook.h"

namespace {

using qz::Text;

using qztest::NamedIO;

struct Changes {
  void OnChange(qz::Component*) { ++count; }
  int count = 0;
};

TEST(DeviceBoxWidget, ListOnlyFilledFromTheComponentAndFollowsTheUsersPick) {
  NamedIO io;
  qzui::DeviceBoxWidget box;
  Changes changes;
  box.Box().SetOnChange(qz::TNotifyEvent::Bind<&Changes::OnChange>(&changes));
  EXPECT_FALSE(box.isEditable());
  box.Box().SetqzLink(&io);
  ASSERT_EQ(box.count(), 3);
  EXPECT_EQ(box.itemText(2), QStringLiteral("Echo"));
  EXPECT_EQ(box.currentIndex(), 1);
  EXPECT_EQ(changes.count, 0);  // selecting from the program is not a pick

  box.show();
  box.setFocus();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
  QTest::keyClick(&box, Qt::Key_Down);
  EXPECT_EQ(io.index, 2);
  EXPECT_EQ(box.currentIndex(), 2);
  EXPECT_EQ(box.count(), 3);
  EXPECT_EQ(changes.count, 1);
}

TEST(DeviceBoxWidget, AFailingPickIsReportedNotThrownThroughQt) {
  NamedIO io;
  qzui::DeviceBoxWidget box;
  box.Box().SetqzLink(&io);
  qztest::BoxCapture<qzui::SetMessageBoxHook> boxes;
  io.fail = true;
  box.show();
  box.setFocus();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
  QTest::keyClick(&box, Qt::Key_Down);
  EXPECT_EQ(boxes.errors, (std::vector<Text>{u"cannot select"}));
  EXPECT_TRUE(boxes.plain.empty());
  EXPECT_EQ(io.index, 1);
}

}  // namespace
