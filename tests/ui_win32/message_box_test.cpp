// Message boxes through the hook: the text and kind, the error report's text, and error
// reports that arrive while one is open (from the box's own message loop) not nesting.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "qzclasses/errors.h"
#include "ui/win32/message_box.h"
#include "ui/win32/message_box_hook.h"

namespace {

using qz::Text;

struct Box {
  Text text;
  qzui::BoxKind kind;
  bool operator==(const Box&) const = default;
};

class MessageBoxTest : public ::testing::Test {
 protected:
  ~MessageBoxTest() override { qzui::SetMessageBoxHook({}); }
  std::vector<Box> boxes;
};

TEST_F(MessageBoxTest, ErrorReportsShowTheErrorsMessage) {
  qzui::SetMessageBoxHook([&](const Text& text, qzui::BoxKind kind) { boxes.push_back({text, kind}); });
  qzui::ShowMessageBox(nullptr, u"plain");
  qzui::ShowErrorReport(nullptr, std::make_exception_ptr(qz::Error(u"device gone")));
  qzui::ShowErrorReport(nullptr, std::make_exception_ptr(42));
  EXPECT_EQ(boxes, (std::vector<Box>{{u"plain", qzui::BoxKind::Plain},
                                     {u"device gone", qzui::BoxKind::Error},
                                     {u"Unknown error", qzui::BoxKind::Error}}));
}

TEST_F(MessageBoxTest, AnErrorReportWhileOneIsOpenDoesNotOpenAnother) {
  // The hook stands for the modal box, whose message loop runs failing ticks.
  int depth = 0;
  int deepest = 0;
  qzui::SetMessageBoxHook([&](const Text& text, qzui::BoxKind kind) {
    boxes.push_back({text, kind});
    deepest = std::max(deepest, ++depth);
    if (text == u"first") {
      qzui::ShowErrorReport(nullptr, std::make_exception_ptr(qz::Error(u"while open")));
      qzui::ShowMessageBox(nullptr, u"plain while open");
    }
    --depth;
  });
  qzui::ShowErrorReport(nullptr, std::make_exception_ptr(qz::Error(u"first")));
  qzui::ShowErrorReport(nullptr, std::make_exception_ptr(qz::Error(u"after")));
  EXPECT_EQ(boxes, (std::vector<Box>{{u"first", qzui::BoxKind::Error},
                                     {u"plain while open", qzui::BoxKind::Plain},
                                     {u"after", qzui::BoxKind::Error}}));
  EXPECT_EQ(deepest, 2);  // only the plain box nested
}

}  // namespace
