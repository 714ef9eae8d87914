// What the device information view shows: the tree of a HID device's general node and
// capability tables, and the property rows of the selected node.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "qzclasses/text.h"
#include "qzhid/hid_device.h"

namespace demo {

// A tree node. A group's data names the capability table its children show (even: a
// button table, odd: a value table); children carry no data.
// A table entry's name says which usages it holds; nodes compare without it, as it
// follows from the entry.
struct TreeNode {
  qz::Text caption;
  std::int32_t data = 0;
  std::vector<TreeNode> children;
  qz::Text name = {};
  bool operator==(const TreeNode& other) const {
    return caption == other.caption && data == other.data && children == other.children;
  }
};

// A node by position: `top` among the top-level nodes, `child` under it (-1: the
// top-level node itself). top -1 means no node.
struct NodePath {
  int top = -1;
  int child = -1;
  bool operator==(const NodePath&) const = default;
};

// A property and its value; `name` is the usage page's or usage's name when the value
// is one. Rows compare by their text alone: the name follows from the value.
struct InfoRow {
  qz::Text property;
  qz::Text value;
  qz::Text name = {};
  bool operator==(const InfoRow& other) const {
    return property == other.property && value == other.value;
  }
};

// What the views show: a node's caption and a row's value, each followed by its name.
qz::Text NodeText(const TreeNode& node);
qz::Text ValueText(const InfoRow& row);

// The device's access while it is open, for the "R/W modes:" row.
struct AccessModes {
  bool read = false;
  bool write = false;
};

// "General HID Info", then a group per non-empty capability table with one child per
// entry, named for its usages when the record has the entry loaded. Empty without a
// device.
std::vector<TreeNode> DeviceTree(const qz::TqzHidDevice* device);

// Appends the row unless its value is empty once trimmed; the value is kept untrimmed.
void AddInfoRow(std::vector<InfoRow>& rows, const qz::Text& property, const qz::Text& value,
                const qz::Text& name = u"");

// The general node's rows; "R/W modes:" only when `open` is given (the device is open).
std::vector<InfoRow> GeneralInfoRows(const qz::TqzHidDevice& device,
                                     std::optional<AccessModes> open);
std::vector<InfoRow> ButtonCapsRows(const HIDP_BUTTON_CAPS& caps);
std::vector<InfoRow> ValueCapsRows(const HIDP_VALUE_CAPS& caps);

// The rows of the selected node: the general rows for the first node, nothing for a group,
// the table entry's rows for a child. Empty without a device or a selection. Throws
// RangeError when the tree asks for an entry the record does not have.
std::vector<InfoRow> NodeInfoRows(const std::vector<TreeNode>& tree, NodePath selected,
                                  const qz::TqzHidDevice* device,
                                  std::optional<AccessModes> open);

}  // namespace demo
