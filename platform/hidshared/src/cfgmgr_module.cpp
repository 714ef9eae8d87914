// "cfgmgr32.dll" and "ntdll.dll" over a ground's device tree: device nodes by number,
// their properties and relations, ID lists; ZwQueryKey's key names.
#include <algorithm>
#include <functional>
#include <type_traits>

#include "device_tree_common.h"
#include "qzplatform/trace.h"

namespace qzplatform::hidshared {
namespace {

// The active tree's nodes; an empty table without a tree.
std::shared_ptr<const NodeTable> Nodes() {
  auto nodes = ActiveNodes();
  return nodes ? nodes : std::make_shared<const NodeTable>(std::vector<DevNode>{});
}

CONFIGRET WINAPI CM_Locate_DevNodeW(PDEVINST pdnDevInst, DEVINSTID_W pDeviceID, ULONG ulFlags) {
  if (!pdnDevInst) return CR_INVALID_POINTER;
  *pdnDevInst = 0;
  if (ulFlags & ~0x7u) return CR_INVALID_FLAG;
  const auto nodes = Nodes();
  const DevNode* node = pDeviceID && *pDeviceID ? nodes->Find(AsChar16(pDeviceID)) : nodes->Root();
  // A node that is not present is found only when phantoms are asked for.
  if (!node || (!node->present && !(ulFlags & CM_LOCATE_DEVNODE_PHANTOM)))
    return CR_NO_SUCH_DEVNODE;
  *pdnDevInst = DevInstOf(node->instance_id);
  return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Get_DevNode_Registry_PropertyW(DEVINST dnDevInst, ULONG ulProperty,
                                                   PULONG pulRegDataType, PVOID Buffer,
                                                   PULONG pulLength, ULONG ulFlags) {
  if (!pulLength) return CR_INVALID_POINTER;
  if (ulFlags) return CR_INVALID_FLAG;
  if (ulProperty == 0 || ulProperty > CM_DRP_MAX) return CR_INVALID_PROPERTY;
  const auto nodes = Nodes();
  const DevNode* node = nodes->Find(dnDevInst);
  if (!node) return CR_INVALID_DEVNODE;
  // The configuration manager numbers the same properties from 1.
  const auto value = node->Value(ulProperty - 1);
  if (!value) {
    *pulLength = 0;
    return CR_NO_SUCH_VALUE;
  }
  if (pulRegDataType) *pulRegDataType = value->type;
  const ULONG room = *pulLength;
  *pulLength = static_cast<ULONG>(value->data.size());
  if (!Buffer && room) return CR_INVALID_POINTER;
  if (room < value->data.size()) return CR_BUFFER_SMALL;
  std::memcpy(Buffer, value->data.data(), value->data.size());
  return CR_SUCCESS;
}

// Parent, first child and next sibling, in the tree's order; only present nodes stand
// in the tree.
enum class Walk { kParent, kChild, kSibling };

const DevNode* Next(const NodeTable& nodes, const DevNode& node, Walk walk) {
  if (walk == Walk::kParent) {
    const DevNode* parent = nodes.Find(node.parent);
    return parent && parent->present ? parent : nullptr;
  }
  if (walk == Walk::kSibling && node.parent.empty()) return nullptr;
  const auto& row = nodes.Children(walk == Walk::kChild ? node.instance_id : node.parent);
  // Siblings follow the node; the row is in tree order, as the nodes are.
  auto it = walk == Walk::kChild ? row.begin()
                                 : std::upper_bound(row.begin(), row.end(), &node, std::less<>());
  for (; it != row.end(); ++it)
    if ((*it)->present) return *it;
  return nullptr;
}

template <Walk walk>
CONFIGRET WINAPI Relative(PDEVINST pdnDevInst, DEVINST dnDevInst, ULONG ulFlags) {
  if (!pdnDevInst) return CR_INVALID_POINTER;
  *pdnDevInst = 0;
  if (ulFlags) return CR_INVALID_FLAG;
  const auto nodes = Nodes();
  const DevNode* node = nodes->Find(dnDevInst);
  if (!node) return CR_INVALID_DEVNODE;
  if (!node->present) return CR_NO_SUCH_DEVNODE;
  const DevNode* next = Next(*nodes, *node, walk);
  if (!next) return CR_NO_SUCH_DEVNODE;
  *pdnDevInst = DevInstOf(next->instance_id);
  return CR_SUCCESS;
}

// The IDs a filter selects, as a REG_MULTI_SZ list, or a CR_ error.
CONFIGRET IdList(PCWSTR filter, ULONG flags, std::u16string* multi_sz) {
  constexpr ULONG kRelations =
      CM_GETIDLIST_FILTER_EJECTRELATIONS | CM_GETIDLIST_FILTER_REMOVALRELATIONS |
      CM_GETIDLIST_FILTER_POWERRELATIONS | CM_GETIDLIST_FILTER_BUSRELATIONS;
  constexpr ULONG kKinds =
      CM_GETIDLIST_FILTER_ENUMERATOR | CM_GETIDLIST_FILTER_SERVICE | kRelations;
  const ULONG kind = flags & kKinds;
  if ((flags & ~(kKinds | CM_GETIDLIST_FILTER_PRESENT | CM_GETIDLIST_DONOTGENERATE)) ||
      (kind & (kind - 1)))
    return CR_INVALID_FLAG;
  const auto nodes = Nodes();
  std::vector<std::u16string> ids;
  if (kind & kRelations) {
    if (!filter) return CR_INVALID_POINTER;
    const DevNode* node = nodes->Find(AsChar16(filter));
    if (!node || !node->present) return CR_NO_SUCH_DEVNODE;
    if (kind == CM_GETIDLIST_FILTER_BUSRELATIONS) {
      for (const DevNode* n : nodes->Children(node->instance_id))
        if (n->present) ids.push_back(n->instance_id);
    } else if (kind == CM_GETIDLIST_FILTER_REMOVALRELATIONS) {
      ids = node->removal_relations;
    }
  } else {
    const bool present_only = flags & CM_GETIDLIST_FILTER_PRESENT;
    for (const DevNode& n : nodes->nodes()) {
      if (present_only && !n.present) continue;
      if (kind == CM_GETIDLIST_FILTER_ENUMERATOR && filter && *filter &&
          !EqualAsciiNoCase(EnumeratorOf(n.instance_id), AsChar16(filter)))
        continue;
      if (kind == CM_GETIDLIST_FILTER_SERVICE) {
        const std::u16string* service = n.Property(SPDRP_SERVICE);
        if (!filter || !service || !EqualAsciiNoCase(*service, AsChar16(filter))) continue;
      }
      ids.push_back(n.instance_id);
    }
  }
  multi_sz->clear();
  for (const auto& id : ids) *multi_sz += id + u'\0';
  *multi_sz += u'\0';
  return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Get_Device_ID_List_SizeW(PULONG pulLen, PCWSTR pszFilter, ULONG ulFlags) {
  if (!pulLen) return CR_INVALID_POINTER;
  *pulLen = 0;
  std::u16string list;
  if (CONFIGRET r = IdList(pszFilter, ulFlags, &list)) return r;
  *pulLen = static_cast<ULONG>(list.size());
  return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Get_Device_ID_ListW(PCWSTR pszFilter, PZZWSTR Buffer, ULONG BufferLen,
                                        ULONG ulFlags) {
  if (!Buffer || BufferLen == 0) return CR_INVALID_POINTER;
  std::u16string list;
  if (CONFIGRET r = IdList(pszFilter, ulFlags, &list)) return r;
  if (BufferLen < list.size()) return CR_BUFFER_SMALL;
  std::copy(list.begin(), list.end(), Buffer);
  return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Request_Device_EjectW(DEVINST dnDevInst, PPNP_VETO_TYPE pVetoType, LPWSTR,
                                          ULONG, ULONG) {
  if (pVetoType) *pVetoType = PNP_VetoTypeUnknown;
  const auto nodes = Nodes();
  const DevNode* node = nodes->Find(dnDevInst);
  if (!node) return CR_INVALID_DEVNODE;
  auto tree = ActiveTree();
  const DWORD error = tree ? tree->Remove(*node) : ERROR_NO_SUCH_DEVINST;
  if (error == ERROR_SUCCESS) return CR_SUCCESS;
  if (pVetoType && error == ERROR_ACCESS_DENIED) *pVetoType = PNP_VetoInsufficientRights;
  return 0x17;  // CR_REMOVE_VETOED
}

// KeyNameInformation: the kernel name of an open key, "\REGISTRY\MACHINE\...".
NTSTATUS WINAPI ZwQueryKey(HANDLE KeyHandle, KEY_INFORMATION_CLASS KeyInformationClass,
                           PVOID KeyInformation, ULONG Length, PULONG ResultLength) {
  if (KeyInformationClass != KeyNameInformation) return STATUS_NOT_IMPLEMENTED;
  std::u16string name;
  if (!RegistryKeyName(reinterpret_cast<HKEY>(KeyHandle), &name)) return STATUS_INVALID_HANDLE;
  constexpr std::size_t kNameOffset = offsetof(KEY_NAME_INFORMATION, Name);
  const ULONG bytes = static_cast<ULONG>(name.size() * sizeof(WCHAR));
  const ULONG needed = static_cast<ULONG>(kNameOffset) + bytes;
  if (ResultLength) *ResultLength = needed;
  if (!KeyInformation || Length < kNameOffset) return STATUS_BUFFER_TOO_SMALL;
  // The length always fits; the name only as far as the buffer reaches.
  auto* out = static_cast<BYTE*>(KeyInformation);
  std::memcpy(out, &bytes, sizeof bytes);
  const std::size_t copied = std::min<std::size_t>(bytes, Length - kNameOffset);
  std::memcpy(out + kNameOffset, name.data(), copied);
  return copied == bytes ? STATUS_SUCCESS : STATUS_BUFFER_OVERFLOW;
}

static_assert(std::is_same_v<decltype(&CM_Locate_DevNodeW), PFN_CM_Locate_DevNodeW>);
static_assert(std::is_same_v<decltype(&CM_Get_DevNode_Registry_PropertyW),
                             PFN_CM_Get_DevNode_Registry_PropertyW>);
static_assert(std::is_same_v<decltype(&Relative<Walk::kParent>), PFN_CM_Get_Parent>);
static_assert(
    std::is_same_v<decltype(&CM_Get_Device_ID_List_SizeW), PFN_CM_Get_Device_ID_List_SizeW>);
static_assert(std::is_same_v<decltype(&CM_Get_Device_ID_ListW), PFN_CM_Get_Device_ID_ListW>);
static_assert(std::is_same_v<decltype(&CM_Request_Device_EjectW), PFN_CM_Request_Device_EjectW>);
static_assert(std::is_same_v<decltype(&ZwQueryKey), PFN_ZwQueryKey>);

std::u16string ModuleKey(std::u16string_view name) {
  std::u16string key = LowerAsciiText(name);
  if (key.size() < 4 || key.substr(key.size() - 4) != u".dll") key += u".dll";
  return key;
}

}  // namespace

std::vector<Module::Entry> CfgMgrEntries() {
  return {
      trace::TracedEntry<"CM_Locate_DevNodeW", &CM_Locate_DevNodeW>(),
      trace::TracedEntry<"CM_Get_DevNode_Registry_PropertyW", &CM_Get_DevNode_Registry_PropertyW>(),
      trace::TracedEntry<"CM_Get_Parent", &Relative<Walk::kParent>>(),
      trace::TracedEntry<"CM_Get_Device_ID_List_SizeW", &CM_Get_Device_ID_List_SizeW>(),
      trace::TracedEntry<"CM_Get_Device_ID_ListW", &CM_Get_Device_ID_ListW>(),
      trace::TracedEntry<"CM_Get_Child", &Relative<Walk::kChild>>(),
      trace::TracedEntry<"CM_Get_Sibling", &Relative<Walk::kSibling>>(),
      trace::TracedEntry<"CM_Request_Device_EjectW", &CM_Request_Device_EjectW>(),
  };
}

std::shared_ptr<const Module> CfgMgrModule() {
  static const auto module = std::make_shared<const Module>(u"cfgmgr32.dll", CfgMgrEntries());
  return module;
}

std::shared_ptr<const Module> NtdllModule() {
  static const auto module = std::make_shared<const Module>(
      u"ntdll.dll", std::vector<Module::Entry>{trace::TracedEntry<"ZwQueryKey", &ZwQueryKey>()});
  return module;
}

std::shared_ptr<const Module> FindTreeModule(std::u16string_view name) {
  const std::u16string key = ModuleKey(name);
  if (key == u"setupapi.dll") return SetupApiModule();
  if (key == u"cfgmgr32.dll") return CfgMgrModule();
  if (key == u"ntdll.dll") return NtdllModule();
  return nullptr;
}

}  // namespace qzplatform::hidshared
