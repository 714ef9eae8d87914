// Helpers the tree modules share: the active ground's tree and its indexed nodes,
// case-insensitive ID maps, registry texts. IDs, registry paths and module names
// compare without regard to ASCII case (qzplatform/ascii_text.h).
#pragma once

#include <cstddef>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "qzplatform/ascii_text.h"
#include "qzplatform/hidshared/device_tree.h"

namespace qzplatform::hidshared {

std::shared_ptr<DeviceTree> ActiveTree();
// The active tree's nodes as they are now; null without a tree.
std::shared_ptr<const NodeTable> ActiveNodes();
// Texts as a REG_MULTI_SZ value: each with its terminator, then the list's own.
std::vector<BYTE> RegMultiSz(const std::vector<std::u16string>& texts);
// The enumerator: an instance ID's first part.
std::u16string_view EnumeratorOf(std::u16string_view instance_id);
// The configuration manager's entries, which "SetupAPI.dll" exports too.
std::vector<Module::Entry> CfgMgrEntries();

// Hashing and comparing instance IDs without regard to ASCII case.
struct IdHash {
  std::size_t operator()(std::u16string_view id) const;
};
struct IdEqual {
  bool operator()(std::u16string_view a, std::u16string_view b) const {
    return EqualAsciiNoCase(a, b);
  }
};
template <typename T>
using IdMap = std::unordered_map<std::u16string_view, T, IdHash, IdEqual>;

// The registry below HKEY_LOCAL_MACHINE over a snapshot's nodes (tree_registry.cpp):
// each node's Enum key with its properties, its hardware key and its driver key, and
// the keys on the way to them, all in ControlSet001, which CurrentControlSet names.
class TreeRegistry {
 public:
  explicit TreeRegistry(const std::vector<DevNode>& nodes);
  TreeRegistry(const TreeRegistry&) = delete;
  TreeRegistry& operator=(const TreeRegistry&) = delete;
  // The key at `path`, if there is one; a key on the way to a node's key has no values.
  std::optional<RegistryKeyData> Key(std::u16string_view path) const;

 private:
  enum class Kind { kEnum, kHardware, kDriver };
  struct Place {
    const DevNode* node;
    Kind kind;
  };
  static std::u16string PathOf(const DevNode& node, Kind kind);
  static std::vector<RegistryValue> ValuesOf(const DevNode& node, Kind kind);
  void MakeWays() const;

  const std::vector<DevNode>& nodes_;
  std::unordered_map<std::u16string, Place> keys_;  // by their lower-case paths
  // The keys on the way and their kernel names, made at the first search that needs them.
  mutable std::once_flag ways_made_;
  mutable std::unordered_map<std::u16string, std::u16string> ways_;
};

// The nodes of one snapshot, indexed for the lookups the modules make, so that a call
// costs the same however many nodes the tree has.
class NodeTable {
 public:
  explicit NodeTable(std::vector<DevNode> nodes);
  NodeTable(const NodeTable&) = delete;
  NodeTable& operator=(const NodeTable&) = delete;
  const std::vector<DevNode>& nodes() const { return nodes_; }
  // By instance ID (any case) or by the configuration manager's number; null if none.
  const DevNode* Find(std::u16string_view instance_id) const;
  const DevNode* Find(DEVINST number) const;
  // The node no ID names: the tree's root, else (a tree without one) its first top node.
  const DevNode* Root() const { return root_; }
  // The nodes whose parent is `instance_id` (any case), in tree order.
  const std::vector<const DevNode*>& Children(std::u16string_view instance_id) const;
  const TreeRegistry& registry() const { return registry_; }

 private:
  const std::vector<DevNode> nodes_;
  IdMap<const DevNode*> by_id_;
  std::unordered_map<DEVINST, const DevNode*> by_number_;
  IdMap<std::vector<const DevNode*>> children_;  // by parent
  const DevNode* root_ = nullptr;
  const TreeRegistry registry_;
};

}  // namespace qzplatform::hidshared
