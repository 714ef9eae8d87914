// "cfgmgr32.dll" and "ntdll.dll" over a ground's device tree: device nodes by number,
// their properties and relations, ID lists; ZwQueryKey's key names. Also the helpers
// the tree modules share and the registry view of the hardware keys.
#include <algorithm>
#include <map>
#include <mutex>
#include <type_traits>

#include "device_tree_common.h"

namespace qzplatform::hidshared {

std::shared_ptr<DeviceTree> ActiveTree() {
  auto source = std::dynamic_pointer_cast<DeviceTreeSource>(CurrentGround());
  return source ? source->Devices() : nullptr;
}

std::u16string LowerId(std::u16string_view id) {
  std::u16string r(id);
  for (char16_t& c : r)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return r;
}

bool SameId(std::u16string_view a, std::u16string_view b) { return LowerId(a) == LowerId(b); }

bool SameGuidValue(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::vector<BYTE> RegSz(const std::u16string& text) {
  std::vector<BYTE> bytes((text.size() + 1) * sizeof(WCHAR), 0);
  std::memcpy(bytes.data(), text.data(), text.size() * sizeof(WCHAR));
  return bytes;
}

const std::u16string* DevNode::Property(DWORD code) const {
  for (const auto& [c, text] : properties)
    if (c == code) return text.empty() ? nullptr : &text;
  return nullptr;
}

DEVINST DevInstOf(const std::u16string& instance_id) {
  static std::mutex mutex;
  static std::map<std::u16string, DEVINST> numbers;
  std::lock_guard lock(mutex);
  auto [it, fresh] = numbers.emplace(LowerId(instance_id), 0);
  if (fresh) it->second = static_cast<DEVINST>(numbers.size());
  return it->second;
}

std::optional<RegistryKeyData> ReadTreeKey(DeviceTree& tree, HKEY root, std::u16string_view path) {
  if (root != HKEY_LOCAL_MACHINE || path.empty()) return std::nullopt;
  for (const DevNode& node : tree.Snapshot())
    if (!node.hardware_key.empty() && SameId(node.hardware_key, path))
      return RegistryKeyData{u"\\REGISTRY\\MACHINE\\" + node.hardware_key, node.hardware_values};
  return std::nullopt;
}

namespace {

std::optional<DevNode> FindNode(const std::vector<DevNode>& nodes, DEVINST number) {
  for (const DevNode& n : nodes)
    if (DevInstOf(n.instance_id) == number) return n;
  return std::nullopt;
}

std::vector<DevNode> Nodes() {
  auto tree = ActiveTree();
  return tree ? tree->Snapshot() : std::vector<DevNode>{};
}

CONFIGRET WINAPI CM_Locate_DevNodeW(PDEVINST pdnDevInst, DEVINSTID_W pDeviceID, ULONG) {
  if (!pdnDevInst) return CR_INVALID_POINTER;
  *pdnDevInst = 0;
  const auto nodes = Nodes();
  for (const DevNode& n : nodes)
    // No ID names the root of the tree: the first node without a parent.
    if (pDeviceID && *pDeviceID ? SameId(n.instance_id, U(pDeviceID)) : n.parent.empty()) {
      *pdnDevInst = DevInstOf(n.instance_id);
      return CR_SUCCESS;
    }
  return CR_NO_SUCH_DEVNODE;
}

CONFIGRET WINAPI CM_Get_DevNode_Registry_PropertyW(DEVINST dnDevInst, ULONG ulProperty,
                                                   PULONG pulRegDataType, PVOID Buffer,
                                                   PULONG pulLength, ULONG) {
  if (!pulLength) return CR_INVALID_POINTER;
  if (ulProperty == 0 || ulProperty > CM_DRP_MAX) return CR_INVALID_PROPERTY;
  const auto node = FindNode(Nodes(), dnDevInst);
  if (!node) return CR_NO_SUCH_DEVNODE;
  // The configuration manager numbers the same properties from 1.
  const std::u16string* text = node->Property(ulProperty - 1);
  if (!text) return CR_NO_SUCH_VALUE;
  const std::vector<BYTE> bytes = RegSz(*text);
  if (pulRegDataType) *pulRegDataType = REG_SZ;
  const ULONG room = *pulLength;
  *pulLength = static_cast<ULONG>(bytes.size());
  if (!Buffer || room < bytes.size()) return CR_BUFFER_SMALL;
  std::memcpy(Buffer, bytes.data(), bytes.size());
  return CR_SUCCESS;
}

// Parent, first child and next sibling, in the tree's order.
enum class Walk { kParent, kChild, kSibling };

template <Walk walk>
CONFIGRET WINAPI Relative(PDEVINST pdnDevInst, DEVINST dnDevInst, ULONG) {
  if (!pdnDevInst) return CR_INVALID_POINTER;
  *pdnDevInst = 0;
  const auto nodes = Nodes();
  const auto node = FindNode(nodes, dnDevInst);
  if (!node) return CR_INVALID_DEVNODE;
  bool passed = false;
  for (const DevNode& n : nodes) {
    bool hit = false;
    if constexpr (walk == Walk::kParent) hit = SameId(n.instance_id, node->parent);
    if constexpr (walk == Walk::kChild) hit = SameId(n.parent, node->instance_id);
    if constexpr (walk == Walk::kSibling) {
      if (SameId(n.instance_id, node->instance_id)) {
        passed = true;
        continue;
      }
      hit = passed && !node->parent.empty() && SameId(n.parent, node->parent);
    }
    if (hit) {
      *pdnDevInst = DevInstOf(n.instance_id);
      return CR_SUCCESS;
    }
  }
  return CR_NO_SUCH_DEVNODE;
}

// The IDs a filter asks for: the node's bus (children) or removal relations, or all.
bool IdList(PCWSTR filter, ULONG flags, std::u16string* multi_sz) {
  const auto nodes = Nodes();
  std::vector<std::u16string> ids;
  if (flags & (CM_GETIDLIST_FILTER_BUSRELATIONS | CM_GETIDLIST_FILTER_REMOVALRELATIONS)) {
    if (!filter) return false;
    auto it = std::find_if(nodes.begin(), nodes.end(),
                           [&](const DevNode& n) { return SameId(n.instance_id, U(filter)); });
    if (it == nodes.end()) return false;
    if (flags & CM_GETIDLIST_FILTER_BUSRELATIONS) {
      for (const DevNode& n : nodes)
        if (SameId(n.parent, it->instance_id)) ids.push_back(n.instance_id);
    } else {
      ids = it->removal_relations;
    }
  } else {
    for (const DevNode& n : nodes) ids.push_back(n.instance_id);
  }
  multi_sz->clear();
  for (const auto& id : ids) *multi_sz += id + u'\0';
  *multi_sz += u'\0';
  return true;
}

CONFIGRET WINAPI CM_Get_Device_ID_List_SizeW(PULONG pulLen, PCWSTR pszFilter, ULONG ulFlags) {
  if (!pulLen) return CR_INVALID_POINTER;
  *pulLen = 0;
  std::u16string list;
  if (!IdList(pszFilter, ulFlags, &list)) return CR_INVALID_DEVICE_ID;
  *pulLen = static_cast<ULONG>(list.size());
  return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Get_Device_ID_ListW(PCWSTR pszFilter, PZZWSTR Buffer, ULONG BufferLen,
                                        ULONG ulFlags) {
  if (!Buffer || BufferLen == 0) return CR_INVALID_POINTER;
  std::u16string list;
  if (!IdList(pszFilter, ulFlags, &list)) return CR_INVALID_DEVICE_ID;
  if (BufferLen < list.size()) return CR_BUFFER_SMALL;
  std::copy(list.begin(), list.end(), Buffer);
  return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Request_Device_EjectW(DEVINST dnDevInst, PPNP_VETO_TYPE pVetoType, LPWSTR,
                                          ULONG, ULONG) {
  if (pVetoType) *pVetoType = PNP_VetoTypeUnknown;
  const auto node = FindNode(Nodes(), dnDevInst);
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
  const ULONG bytes = static_cast<ULONG>(name.size() * sizeof(WCHAR));
  const ULONG needed = static_cast<ULONG>(offsetof(KEY_NAME_INFORMATION, Name)) + bytes;
  if (ResultLength) *ResultLength = needed;
  if (!KeyInformation || Length < offsetof(KEY_NAME_INFORMATION, Name))
    return STATUS_BUFFER_TOO_SMALL;
  auto* info = static_cast<KEY_NAME_INFORMATION*>(KeyInformation);
  info->NameLength = bytes;
  if (Length < needed) return STATUS_BUFFER_OVERFLOW;
  std::memcpy(info->Name, name.data(), bytes);
  return STATUS_SUCCESS;
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
  std::u16string key = LowerId(name);
  if (key.size() < 4 || key.substr(key.size() - 4) != u".dll") key += u".dll";
  return key;
}

}  // namespace

std::shared_ptr<const Module> CfgMgrModule() {
  static const auto module = std::make_shared<const Module>(
      u"cfgmgr32.dll",
      std::vector<Module::Entry>{
          {"CM_Locate_DevNodeW", Proc(&CM_Locate_DevNodeW)},
          {"CM_Get_DevNode_Registry_PropertyW", Proc(&CM_Get_DevNode_Registry_PropertyW)},
          {"CM_Get_Parent", Proc(&Relative<Walk::kParent>)},
          {"CM_Get_Device_ID_List_SizeW", Proc(&CM_Get_Device_ID_List_SizeW)},
          {"CM_Get_Device_ID_ListW", Proc(&CM_Get_Device_ID_ListW)},
          {"CM_Get_Child", Proc(&Relative<Walk::kChild>)},
          {"CM_Get_Sibling", Proc(&Relative<Walk::kSibling>)},
          {"CM_Request_Device_EjectW", Proc(&CM_Request_Device_EjectW)},
      });
  return module;
}

std::shared_ptr<const Module> NtdllModule() {
  static const auto module = std::make_shared<const Module>(
      u"ntdll.dll", std::vector<Module::Entry>{{"ZwQueryKey", Proc(&ZwQueryKey)}});
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
