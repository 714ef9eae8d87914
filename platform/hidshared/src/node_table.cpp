// A tree's nodes indexed by ID, number and parent, and the one snapshot per change of
// the machine that every SetupAPI, cfgmgr32 and registry call shares.
#include "device_tree_common.h"

namespace qzplatform::hidshared {

NodeTable::NodeTable(std::vector<DevNode> nodes) : nodes_(std::move(nodes)), registry_(nodes_) {
  for (const DevNode& node : nodes_) {
    // The first of equal IDs is the one found, as a search in tree order finds it.
    by_id_.emplace(node.instance_id, &node);
    by_number_.emplace(DevInstOf(node.instance_id), &node);
    if (!node.parent.empty()) children_[node.parent].push_back(&node);
    if (node.root && !root_) root_ = &node;
  }
  if (!root_)
    for (const DevNode& node : nodes_)
      if (node.parent.empty()) {
        root_ = &node;
        break;
      }
}

const DevNode* NodeTable::Find(std::u16string_view instance_id) const {
  const auto it = by_id_.find(instance_id);
  return it == by_id_.end() ? nullptr : it->second;
}

const DevNode* NodeTable::Find(DEVINST number) const {
  const auto it = by_number_.find(number);
  return it == by_number_.end() ? nullptr : it->second;
}

const std::vector<const DevNode*>& NodeTable::Children(std::u16string_view instance_id) const {
  static const std::vector<const DevNode*> kNone;
  const auto it = children_.find(instance_id);
  return it == children_.end() ? kNone : it->second;
}

std::shared_ptr<const NodeTable> DeviceTree::Current() {
  std::lock_guard lock(mutex_);
  // The mark is read before the snapshot: a change in between makes the next call
  // take a new one.
  std::optional<std::string> mark = StateMark();
  if (!table_ || !mark || mark != mark_) {
    table_ = std::make_shared<const NodeTable>(Snapshot());
    mark_ = std::move(mark);
  }
  return table_;
}

bool DeviceTree::Unchanged() {
  std::lock_guard lock(mutex_);
  return table_ && mark_ && StateMark() == mark_;
}

std::shared_ptr<const NodeTable> ActiveNodes() {
  auto tree = ActiveTree();
  return tree ? tree->Current() : nullptr;
}

}  // namespace qzplatform::hidshared
