// Test doubles for the presenter: a view that records what it is told, and a list control
// for the device box.
#pragma once

#include <algorithm>
#include <vector>

#include "presenter/hid_demo_form.h"
#include "print_helpers.h"
#include "qzlinkbox/list_control.h"

namespace demotest {

class FakeView : public demo::DemoView {
 public:
  void ShowTree(const std::vector<demo::TreeNode>& nodes, demo::NodePath) override { tree = nodes; }
  void ShowRows(const std::vector<demo::InfoRow>& r) override { rows = r; }
  void AppendMemoLines(std::vector<qz::Text>& lines, std::size_t dropOldest) override {
    memo.erase(memo.begin(), memo.begin() + static_cast<std::ptrdiff_t>(std::min(dropOldest, memo.size())));
    memo.insert(memo.end(), lines.begin(), lines.end());
  }
  // As a toolkit does: a change of the check box runs its click handler.
  void SetActiveChecked(bool value) override {
    checkedSets.push_back(value);
    if (value == checked) return;
    checked = value;
    if (form) form->CheckBox1Click(value);
  }
  void SetDataText(const qz::Text& text) override { data = text; }
  void ShowMessage(const qz::Text&) override {}
  void SetStatus(const qz::Text& text) override { status = text; }
  void SetBusy(bool) override {}

  // The value of a property's row, or "<none>".
  qz::Text Row(const qz::Text& property) const {
    for (const auto& r : rows)
      if (r.property == property) return r.value;
    return u"<none>";
  }

  demo::HidDemoForm* form = nullptr;
  bool checked = false;
  std::vector<demo::TreeNode> tree;
  std::vector<demo::InfoRow> rows;
  std::vector<qz::Text> memo;
  std::vector<bool> checkedSets;
  qz::Text data = u"Hello Device";
  qz::Text status;
};

class FakeList : public qz::DeviceListControl {
 public:
  void ClearItems() override {
    items.clear();
    index = -1;
  }
  void AddItem(const qz::Text& text) override { items.push_back(text); }
  std::int32_t ItemCount() const override { return static_cast<std::int32_t>(items.size()); }
  qz::Text ItemText(std::int32_t i) const override { return items.at(static_cast<std::size_t>(i)); }
  std::int32_t ItemIndex() const override { return index; }
  void SetItemIndex(std::int32_t i) override { index = (i >= 0 && i < ItemCount()) ? i : -1; }

  std::vector<qz::Text> items;
  std::int32_t index = -1;
};

}  // namespace demotest
