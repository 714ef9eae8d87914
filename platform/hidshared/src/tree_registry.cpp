// The registry over a device tree: below HKEY_LOCAL_MACHINE, every node's Enum key
// with its properties and its hardware key, and the driver keys under Control\Class,
// all in ControlSet001, which CurrentControlSet names (as its kernel name shows).
// Keys are found by path; their values are read from the node when a key is opened.
#include <algorithm>

#include "device_tree_common.h"

namespace qzplatform::hidshared {
namespace {

using Path = std::vector<std::u16string>;

const std::u16string kMachine = u"\\REGISTRY\\MACHINE";

// Calls `take` with each component of a path; CurrentControlSet becomes the set it names.
template <typename F>
void ForEachPart(std::u16string_view text, F take) {
  std::u16string_view first;
  for (std::size_t at = 0, count = 0; at < text.size();) {
    const std::size_t end = std::min(text.find(u'\\', at), text.size());
    std::u16string_view part = text.substr(at, end - at);
    at = end + 1;
    if (part.empty()) continue;
    if (count == 1 && EqualAsciiNoCase(first, u"SYSTEM") &&
        EqualAsciiNoCase(part, u"CurrentControlSet"))
      part = u"ControlSet001";
    if (count++ == 0) first = part;
    take(part);
  }
}

Path Split(std::u16string_view text) {
  Path parts;
  ForEachPart(text, [&](std::u16string_view part) { parts.emplace_back(part); });
  return parts;
}

// A path as the index spells it: its components in lower case, one backslash between.
std::u16string IndexPath(std::u16string_view text) {
  std::u16string joined;
  joined.reserve(text.size());
  ForEachPart(text, [&](std::u16string_view part) {
    if (!joined.empty()) joined += u'\\';
    for (char16_t c : part) joined += LowerAsciiChar(c);
  });
  return joined;
}

std::u16string KernelName(const Path& path, std::size_t count) {
  std::u16string name = kMachine;
  for (std::size_t i = 0; i < count; ++i) name += u"\\" + path[i];
  return name;
}

void AddSz(std::vector<RegistryValue>& values, std::u16string name,
           const std::optional<PropertyValue>& value) {
  if (value) values.push_back({std::move(name), value->type, value->data});
}

}  // namespace

std::u16string TreeRegistry::PathOf(const DevNode& node, Kind kind) {
  switch (kind) {
    case Kind::kEnum: return u"SYSTEM\\CurrentControlSet\\Enum\\" + node.instance_id;
    case Kind::kHardware: return node.hardware_key;
    case Kind::kDriver: return DriverKey(node);
  }
  return {};
}

std::vector<RegistryValue> TreeRegistry::ValuesOf(const DevNode& node, Kind kind) {
  std::vector<RegistryValue> values;
  switch (kind) {
    case Kind::kEnum:
      AddSz(values, u"DeviceDesc", node.Value(SPDRP_DEVICEDESC));
      AddSz(values, u"HardwareID", node.Value(SPDRP_HARDWAREID));
      AddSz(values, u"Service", node.Value(SPDRP_SERVICE));
      AddSz(values, u"ClassGUID", node.Value(SPDRP_CLASSGUID));
      AddSz(values, u"Driver", node.Value(SPDRP_DRIVER));
      AddSz(values, u"Mfg", node.Value(SPDRP_MFG));
      break;
    case Kind::kHardware: values = node.hardware_values; break;
    case Kind::kDriver:
      AddSz(values, u"DriverDesc", node.Value(SPDRP_DEVICEDESC));
      AddSz(values, u"ProviderName", node.Value(SPDRP_MFG));
      break;
  }
  return values;
}

TreeRegistry::TreeRegistry(const std::vector<DevNode>& nodes) : nodes_(nodes) {
  // Of equal paths the first wins, as a search in tree order finds it.
  for (const DevNode& node : nodes_) {
    if (node.root) continue;
    for (Kind kind : {Kind::kEnum, Kind::kHardware, Kind::kDriver})
      if (std::u16string path = IndexPath(PathOf(node, kind)); !path.empty())
        keys_.try_emplace(std::move(path), Place{&node, kind});
  }
}

void TreeRegistry::MakeWays() const {
  for (const DevNode& node : nodes_) {
    if (node.root) continue;
    for (Kind kind : {Kind::kEnum, Kind::kHardware, Kind::kDriver}) {
      const Path path = Split(PathOf(node, kind));
      // From the longest way down: one already there has its shorter ones entered too,
      // with the names of the first key they lead to.
      for (std::size_t count = path.size(); count-- > 1;) {
        std::u16string way;
        for (std::size_t i = 0; i < count; ++i) way += (i ? u"\\" : u"") + LowerAsciiText(path[i]);
        if (!ways_.try_emplace(std::move(way), KernelName(path, count)).second) break;
      }
    }
  }
}

std::optional<RegistryKeyData> TreeRegistry::Key(std::u16string_view path) const {
  const std::u16string wanted = IndexPath(path);
  if (wanted.empty()) return RegistryKeyData{kMachine, {}};
  if (const auto it = keys_.find(wanted); it != keys_.end()) {
    const Path parts = Split(PathOf(*it->second.node, it->second.kind));
    return RegistryKeyData{KernelName(parts, parts.size()),
                           ValuesOf(*it->second.node, it->second.kind)};
  }
  // A key on the way to a device key exists, without values of its own.
  std::call_once(ways_made_, [this] { MakeWays(); });
  if (const auto it = ways_.find(wanted); it != ways_.end()) return RegistryKeyData{it->second, {}};
  return std::nullopt;
}

std::optional<RegistryKeyData> ReadTreeKey(DeviceTree& tree, HKEY root, std::u16string_view path) {
  if (root != HKEY_LOCAL_MACHINE) return std::nullopt;
  // The root itself, asked for at every use of HKEY_LOCAL_MACHINE, needs no nodes.
  if (IndexPath(path).empty()) return RegistryKeyData{kMachine, {}};
  return tree.Current()->registry().Key(path);
}

}  // namespace qzplatform::hidshared
