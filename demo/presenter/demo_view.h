// The HID Demo window as its presenter sees it: what a toolkit frontend must show.
#pragma once

#include <cstddef>
#include <vector>

#include "presenter/device_view.h"
#include "qzclasses/text.h"

namespace demo {

class DemoView {
 public:
  virtual ~DemoView() = default;

  // Replaces the tree's nodes and selects `selected` (top -1: nothing) without reporting
  // the selection back as a user's change.
  virtual void ShowTree(const std::vector<TreeNode>& nodes, NodePath selected) = 0;
  // Replaces the property list's rows.
  virtual void ShowRows(const std::vector<InfoRow>& rows) = 0;
  // Removes the memo's `dropOldest` oldest lines (past the memo's own lines, the oldest of
  // `lines`), then appends each remaining line as a line of its own, in order, at once.
  virtual void AppendMemoLines(std::vector<qz::Text>& lines, std::size_t dropOldest) = 0;
  // Sets the activation check box; as with any program change of the box, its click
  // handler runs when the state changes.
  virtual void SetActiveChecked(bool checked) = 0;
  virtual void SetDataText(const qz::Text& text) = 0;
  // A plain message box.
  virtual void ShowMessage(const qz::Text& text) = 0;
  // The status line under the memo (empty: none).
  virtual void SetStatus(const qz::Text& text) = 0;
  // The busy cursor for the whole screen, on or off.
  virtual void SetBusy(bool busy) = 0;
};

}  // namespace demo
