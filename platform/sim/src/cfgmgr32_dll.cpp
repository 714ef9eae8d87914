// The sim ground's "cfgmgr32.dll": the configuration manager's view of the machine's
// device tree (locating nodes, walking the tree, node properties, instance ID lists).
#include <cstring>

#include "device_info_set.h"
#include "field_error.h"
#include "qzplatform/sim/sim_ground.h"

namespace qzplatform::sim {
namespace {

// Only present nodes stand in the tree; the others exist in the registry alone.
const DeviceNode* LiveNode(const DeviceTree& tree, DEVINST devinst) {
  const DeviceNode* node = tree.Find(devinst);
  return node && node->present ? node : nullptr;
}

CONFIGRET Walk(PDEVINST result, DEVINST devinst, ULONG flags,
               DEVINST (*step)(const DeviceTree&, const DeviceNode&)) {
  if (!result) return CR_INVALID_POINTER;
  *result = 0;
  if (flags) return CR_INVALID_FLAG;
  const DeviceTree tree = CurrentDeviceTree();
  const DeviceNode* node = tree.Find(devinst);
  if (!node) return CR_INVALID_DEVNODE;
  if (!node->present) return CR_NO_SUCH_DEVNODE;
  const DEVINST next = step(tree, *node);
  if (!next) return CR_NO_SUCH_DEVNODE;
  *result = next;
  return CR_SUCCESS;
}

DEVINST FirstLive(const DeviceTree& tree, const std::vector<DEVINST>& nodes, std::size_t from) {
  for (std::size_t i = from; i < nodes.size(); ++i)
    if (LiveNode(tree, nodes[i])) return nodes[i];
  return 0;
}

CONFIGRET WINAPI CM_Get_Parent(PDEVINST pdnDevInst, DEVINST dnDevInst, ULONG ulFlags) {
  return Walk(pdnDevInst, dnDevInst, ulFlags,
              [](const DeviceTree&, const DeviceNode& n) { return n.parent; });
}

CONFIGRET WINAPI CM_Get_Child(PDEVINST pdnDevInst, DEVINST dnDevInst, ULONG ulFlags) {
  return Walk(pdnDevInst, dnDevInst, ulFlags, [](const DeviceTree& tree, const DeviceNode& n) {
    return FirstLive(tree, n.children, 0);
  });
}

CONFIGRET WINAPI CM_Get_Sibling(PDEVINST pdnDevInst, DEVINST DevInst, ULONG ulFlags) {
  return Walk(pdnDevInst, DevInst, ulFlags, [](const DeviceTree& tree, const DeviceNode& n) {
    const DeviceNode* parent = tree.Find(n.parent);
    if (!parent) return DEVINST{0};
    const auto& siblings = parent->children;
    for (std::size_t i = 0; i < siblings.size(); ++i)
      if (siblings[i] == n.devinst) return FirstLive(tree, siblings, i + 1);
    return DEVINST{0};
  });
}

CONFIGRET WINAPI CM_Locate_DevNodeW(PDEVINST pdnDevInst, DEVINSTID_W pDeviceID, ULONG ulFlags) {
  if (!pdnDevInst) return CR_INVALID_POINTER;
  *pdnDevInst = 0;
  if (ulFlags & ~0x7u) return CR_INVALID_FLAG;
  const DeviceTree tree = CurrentDeviceTree();
  const DeviceNode* node =
      pDeviceID && *pDeviceID ? tree.Find(U(pDeviceID)) : &tree.nodes().front();
  if (!node || (!node->present && !(ulFlags & CM_LOCATE_DEVNODE_PHANTOM)))
    return CR_NO_SUCH_DEVNODE;
  *pdnDevInst = node->devinst;
  return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Get_DevNode_Registry_PropertyW(DEVINST dnDevInst, ULONG ulProperty,
                                                   PULONG pulRegDataType, PVOID Buffer,
                                                   PULONG pulLength, ULONG ulFlags) {
  if (!pulLength) return CR_INVALID_POINTER;
  if (ulFlags) return CR_INVALID_FLAG;
  if (ulProperty == 0 || ulProperty > CM_DRP_MAX) return CR_INVALID_PROPERTY;
  const DeviceTree tree = CurrentDeviceTree();
  const DeviceNode* node = tree.Find(dnDevInst);
  if (!node) return CR_INVALID_DEVNODE;
  const auto value = PropertyOf(*node, ulProperty - 1);
  if (!value) {
    *pulLength = 0;
    return CR_NO_SUCH_VALUE;
  }
  const ULONG size = static_cast<ULONG>(value->data.size());
  if (pulRegDataType) *pulRegDataType = value->type;
  const ULONG room = *pulLength;
  *pulLength = size;
  if (!Buffer && room) return CR_INVALID_POINTER;
  if (room < size) return CR_BUFFER_SMALL;
  std::memcpy(Buffer, value->data.data(), size);
  return CR_SUCCESS;
}

// The IDs a filter selects, or a CR_ error.
CONFIGRET IdList(PCWSTR filter, ULONG flags, std::vector<std::u16string>* ids) {
  constexpr ULONG kKinds = CM_GETIDLIST_FILTER_ENUMERATOR | CM_GETIDLIST_FILTER_SERVICE |
                           CM_GETIDLIST_FILTER_EJECTRELATIONS |
                           CM_GETIDLIST_FILTER_REMOVALRELATIONS |
                           CM_GETIDLIST_FILTER_POWERRELATIONS | CM_GETIDLIST_FILTER_BUSRELATIONS;
  const ULONG kind = flags & kKinds;
  if ((flags & ~(kKinds | CM_GETIDLIST_FILTER_PRESENT | CM_GETIDLIST_DONOTGENERATE)) ||
      (kind & (kind - 1)))
    return CR_INVALID_FLAG;
  const DeviceTree tree = CurrentDeviceTree();
  const bool relations =
      kind & (CM_GETIDLIST_FILTER_EJECTRELATIONS | CM_GETIDLIST_FILTER_REMOVALRELATIONS |
              CM_GETIDLIST_FILTER_POWERRELATIONS | CM_GETIDLIST_FILTER_BUSRELATIONS);
  if (relations) {
    if (!filter) return CR_INVALID_POINTER;
    const DeviceNode* node = tree.Find(U(filter));
    if (!node || !node->present) return CR_NO_SUCH_DEVNODE;
    // Only bus relations are modelled: a HID node is removed with its USB device.
    if (kind == CM_GETIDLIST_FILTER_BUSRELATIONS)
      for (DEVINST child : node->children)
        if (const DeviceNode* c = LiveNode(tree, child)) ids->push_back(c->instance_id);
    return CR_SUCCESS;
  }
  const bool present_only = flags & CM_GETIDLIST_FILTER_PRESENT;
  for (const DeviceNode& node : tree.nodes()) {
    if (node.removed || (present_only && !node.present)) continue;
    const std::u16string_view id = node.instance_id;
    if (kind == CM_GETIDLIST_FILTER_ENUMERATOR && filter && *filter &&
        !SameText(id.substr(0, id.find(u'\\')), U(filter)))
      continue;
    if (kind == CM_GETIDLIST_FILTER_SERVICE && (!filter || !SameText(node.service, U(filter))))
      continue;
    ids->push_back(node.instance_id);
  }
  return CR_SUCCESS;
}

ULONG ListLength(const std::vector<std::u16string>& ids) {
  std::size_t length = 1;  // the list's final NUL
  for (const auto& id : ids) length += id.size() + 1;
  return static_cast<ULONG>(length);
}

CONFIGRET WINAPI CM_Get_Device_ID_List_SizeW(PULONG pulLen, PCWSTR pszFilter, ULONG ulFlags) {
  if (!pulLen) return CR_INVALID_POINTER;
  *pulLen = 0;
  std::vector<std::u16string> ids;
  if (CONFIGRET r = IdList(pszFilter, ulFlags, &ids)) return r;
  *pulLen = ListLength(ids);
  return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Get_Device_ID_ListW(PCWSTR pszFilter, PZZWSTR Buffer, ULONG BufferLen,
                                        ULONG ulFlags) {
  if (!Buffer || BufferLen == 0) return CR_INVALID_POINTER;
  std::vector<std::u16string> ids;
  if (CONFIGRET r = IdList(pszFilter, ulFlags, &ids)) return r;
  if (BufferLen < ListLength(ids)) return CR_BUFFER_SMALL;
  WCHAR* out = Buffer;
  for (const auto& id : ids) {
    std::memcpy(out, id.c_str(), (id.size() + 1) * sizeof(WCHAR));
    out += id.size() + 1;
  }
  *out = 0;
  return CR_SUCCESS;
}

}  // namespace

std::vector<Module::Entry> ConfigManagerEntries() {
  return {
      {"CM_Locate_DevNodeW", Proc(CM_Locate_DevNodeW)},
      {"CM_Get_DevNode_Registry_PropertyW", Proc(CM_Get_DevNode_Registry_PropertyW)},
      {"CM_Get_Parent", Proc(CM_Get_Parent)},
      {"CM_Get_Device_ID_List_SizeW", Proc(CM_Get_Device_ID_List_SizeW)},
      {"CM_Get_Device_ID_ListW", Proc(CM_Get_Device_ID_ListW)},
      {"CM_Get_Child", Proc(CM_Get_Child)},
      {"CM_Get_Sibling", Proc(CM_Get_Sibling)},
  };
}

std::shared_ptr<const Module> ConfigManagerModule() {
  static const auto module =
      std::make_shared<const Module>(u"cfgmgr32.dll", ConfigManagerEntries());
  return module;
}

}  // namespace qzplatform::sim
