// Link collection nodes: numbered in descriptor order, node 0 being the top-level
// collection; a parent's FirstChild is its latest child and each child's
// NextSibling the child declared before it, as Windows links them.
#include <string>

#include "top_level_build.h"

namespace hidparse::detail {

namespace {

struct CollectionUsage {
  std::uint16_t page = 0;
  std::uint16_t usage = 0;
};

// Usages naming the collection, in declaration order: the first slot's usages
// (several when a delimiter set gives aliases). A range names it by its minimum.
std::vector<CollectionUsage> CollectionUsages(const LocalState& locals,
                                              std::uint16_t usage_page) {
  std::vector<CollectionUsage> result;
  for (const UsageEntry& entry : locals.usages) {
    if (entry.slot != locals.usages.front().slot) break;
    result.push_back({entry.page, entry.min});
  }
  // A collection without a usage still gets a node: usage 0 on the current page.
  if (result.empty()) result.push_back({usage_page, 0});
  return result;
}

HIDP_LINK_COLLECTION_NODE MakeNode(const CollectionUsage& usage, std::uint8_t collection_type,
                                   bool is_alias) {
  HIDP_LINK_COLLECTION_NODE node{};
  node.LinkUsage = usage.usage;
  node.LinkUsagePage = usage.page;
  node.CollectionType = collection_type;
  node.IsAlias = is_alias ? 1 : 0;
  return node;
}

}  // namespace

bool OpenCollection(TopLevelBuild& tlc, const LocalState& locals, std::uint16_t usage_page,
                    std::uint8_t collection_type, std::string& error) {
  const std::vector<CollectionUsage> usages = CollectionUsages(locals, usage_page);
  if (tlc.open.empty()) {
    // The top-level collection is node 0 whatever its usages; it takes the
    // preferred (first declared) one.
    tlc.nodes.push_back(MakeNode(usages.front(), collection_type, false));
    tlc.open.push_back(0);
    return true;
  }
  if (tlc.nodes.size() + usages.size() > kMaxRecords) {
    error = "more than " + std::to_string(kMaxRecords) + " link collections";
    return false;
  }
  // Aliased collections are consecutive nodes, the preferred usage last with
  // IsAlias FALSE: the same reversed order Windows gives aliased usages.
  const std::uint16_t parent = tlc.open.back();
  for (std::size_t i = usages.size(); i-- > 0;) {
    const auto index = static_cast<std::uint16_t>(tlc.nodes.size());
    HIDP_LINK_COLLECTION_NODE node = MakeNode(usages[i], collection_type, i != 0);
    node.Parent = parent;
    node.NextSibling = tlc.nodes[parent].FirstChild;
    tlc.nodes[parent].FirstChild = index;
    ++tlc.nodes[parent].NumberOfChildren;
    tlc.nodes.push_back(node);
  }
  tlc.open.push_back(static_cast<std::uint16_t>(tlc.nodes.size() - 1));
  return true;
}

bool CloseCollection(TopLevelBuild& tlc) {
  if (tlc.open.empty()) return false;
  tlc.open.pop_back();
  return true;
}

}  // namespace hidparse::detail
