// The registry over a device tree: below HKEY_LOCAL_MACHINE, every node's Enum key
// with its properties and its hardware key, and the driver keys under Control\Class,
// all in ControlSet001, which CurrentControlSet names (as its kernel name shows).
#include <algorithm>

#include "device_tree_common.h"

namespace qzplatform::hidshared {
namespace {

using Path = std::vector<std::u16string>;

struct Key {
  Path path;  // components below HKEY_LOCAL_MACHINE
  std::vector<RegistryValue> values;
};

// The components of a path; CurrentControlSet becomes the set it names.
Path Split(std::u16string_view text) {
  Path parts;
  std::u16string part;
  for (char16_t c : std::u16string(text) + u'\\') {
    if (c != u'\\') {
      part += c;
    } else if (!part.empty()) {
      parts.push_back(std::move(part));
      part.clear();
    }
  }
  if (parts.size() >= 2 && SameId(parts[0], u"SYSTEM") && SameId(parts[1], u"CurrentControlSet"))
    parts[1] = u"ControlSet001";
  return parts;
}

void AddSz(std::vector<RegistryValue>& values, std::u16string name,
           const std::optional<PropertyValue>& value) {
  if (value) values.push_back({std::move(name), value->type, value->data});
}

std::vector<Key> KeysOf(const std::vector<DevNode>& nodes) {
  std::vector<Key> keys;
  for (const DevNode& node : nodes) {
    if (node.root) continue;
    Key device{Split(u"SYSTEM\\CurrentControlSet\\Enum\\" + node.instance_id), {}};
    AddSz(device.values, u"DeviceDesc", node.Value(SPDRP_DEVICEDESC));
    AddSz(device.values, u"HardwareID", node.Value(SPDRP_HARDWAREID));
    AddSz(device.values, u"Service", node.Value(SPDRP_SERVICE));
    AddSz(device.values, u"ClassGUID", node.Value(SPDRP_CLASSGUID));
    AddSz(device.values, u"Driver", node.Value(SPDRP_DRIVER));
    AddSz(device.values, u"Mfg", node.Value(SPDRP_MFG));
    keys.push_back(std::move(device));
    if (!node.hardware_key.empty())
      keys.push_back({Split(node.hardware_key), node.hardware_values});
    if (const std::u16string driver = DriverKey(node); !driver.empty()) {
      Key key{Split(driver), {}};
      AddSz(key.values, u"DriverDesc", node.Value(SPDRP_DEVICEDESC));
      AddSz(key.values, u"ProviderName", node.Value(SPDRP_MFG));
      keys.push_back(std::move(key));
    }
  }
  return keys;
}

bool StartsWith(const Path& path, const Path& head) {
  return head.size() <= path.size() &&
         std::equal(head.begin(), head.end(), path.begin(),
                    [](const auto& a, const auto& b) { return SameId(a, b); });
}

std::u16string KernelName(const Path& path, std::size_t count) {
  std::u16string name = u"\\REGISTRY\\MACHINE";
  for (std::size_t i = 0; i < count; ++i) name += u"\\" + path[i];
  return name;
}

}  // namespace

std::optional<RegistryKeyData> ReadTreeKey(DeviceTree& tree, HKEY root, std::u16string_view path) {
  if (root != HKEY_LOCAL_MACHINE) return std::nullopt;
  const Path wanted = Split(path);
  if (wanted.empty()) return RegistryKeyData{KernelName(wanted, 0), {}};
  const std::vector<Key> keys = KeysOf(tree.Snapshot());
  for (const Key& key : keys)
    if (key.path.size() == wanted.size() && StartsWith(key.path, wanted))
      return RegistryKeyData{KernelName(key.path, key.path.size()), key.values};
  // A key on the way to a device key exists, without values of its own.
  for (const Key& key : keys)
    if (StartsWith(key.path, wanted))
      return RegistryKeyData{KernelName(key.path, wanted.size()), {}};
  return std::nullopt;
}

}  // namespace qzplatform::hidshared
