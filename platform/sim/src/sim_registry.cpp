// The sim ground's registry: below HKEY_LOCAL_MACHINE, the Enum keys of the device
// tree (with each node's hardware key, "Device Parameters") and the driver keys under
// Control\Class, in ControlSet001, which CurrentControlSet names.
#include <algorithm>

#include "device_tree.h"
#include "field_error.h"
#include "qzplatform/sim/sim_ground.h"

namespace qzplatform::sim {
namespace {

struct Key {
  std::vector<std::u16string> path;  // components below HKEY_LOCAL_MACHINE
  std::vector<RegistryValue> values;
};

std::vector<std::u16string> Split(std::u16string_view path) {
  std::vector<std::u16string> parts;
  std::u16string part;
  for (char16_t c : path) {
    if (c != u'\\') {
      part += c;
    } else if (!part.empty()) {
      parts.push_back(std::move(part));
      part.clear();
    }
  }
  if (!part.empty()) parts.push_back(std::move(part));
  return parts;
}

std::vector<std::u16string> Under(std::u16string_view branch, std::u16string_view rest) {
  std::vector<std::u16string> path = {u"SYSTEM", u"ControlSet001"};
  for (auto& p : Split(branch)) path.push_back(std::move(p));
  for (auto& p : Split(rest)) path.push_back(std::move(p));
  return path;
}

void AddSz(std::vector<RegistryValue>& values, std::u16string name, std::u16string_view text) {
  if (!text.empty()) values.push_back({std::move(name), REG_SZ, SzBytes(text)});
}

std::vector<Key> KeysOf(const DeviceTree& tree) {
  std::vector<Key> keys;
  for (const DeviceNode& node : tree.nodes()) {
    if (node.parent == 0) continue;
    Key device{Under(u"Enum", node.instance_id), {}};
    AddSz(device.values, u"DeviceDesc", node.description);
    device.values.push_back({u"HardwareID", REG_MULTI_SZ, MultiSzBytes(node.hardware_ids)});
    AddSz(device.values, u"Service", node.service);
    AddSz(device.values, u"ClassGUID", GuidText(node.class_guid, true));
    AddSz(device.values, u"Driver", node.driver);
    AddSz(device.values, u"Mfg", node.manufacturer);
    Key parameters{device.path, {}};
    parameters.path.push_back(u"Device Parameters");
    AddSz(parameters.values, u"SymbolicName", node.symbolic_name);
    AddSz(parameters.values, u"PortName", node.port_name);
    keys.push_back(std::move(device));
    keys.push_back(std::move(parameters));
    if (!node.driver.empty()) {
      Key driver{Under(u"Control\\Class", node.driver), {}};
      AddSz(driver.values, u"DriverDesc", node.description);
      AddSz(driver.values, u"ProviderName", node.manufacturer);
      keys.push_back(std::move(driver));
    }
  }
  return keys;
}

bool StartsWith(const std::vector<std::u16string>& path, const std::vector<std::u16string>& head) {
  return head.size() <= path.size() &&
         std::equal(head.begin(), head.end(), path.begin(),
                    [](const auto& a, const auto& b) { return SameText(a, b); });
}

std::u16string KernelName(const std::vector<std::u16string>& path, std::size_t count) {
  std::u16string name = u"\\REGISTRY\\MACHINE";
  for (std::size_t i = 0; i < count; ++i) name += u"\\" + path[i];
  return name;
}

}  // namespace

std::optional<RegistryKeyData> SimGround::ReadRegistryKey(HKEY root, std::u16string_view path) {
  if (root != HKEY_LOCAL_MACHINE) return std::nullopt;
  std::vector<std::u16string> wanted = Split(path);
  if (wanted.size() >= 2 && SameText(wanted[0], u"SYSTEM") &&
      SameText(wanted[1], u"CurrentControlSet"))
    wanted[1] = u"ControlSet001";
  if (wanted.empty()) return RegistryKeyData{KernelName(wanted, 0), {}};

  const std::vector<Key> keys = KeysOf(DeviceTree(*machine_));
  for (const Key& key : keys)
    if (key.path.size() == wanted.size() && StartsWith(key.path, wanted))
      return RegistryKeyData{KernelName(key.path, key.path.size()), key.values};
  // A key on the way to a device key exists, without values of its own.
  for (const Key& key : keys)
    if (StartsWith(key.path, wanted))
      return RegistryKeyData{KernelName(key.path, wanted.size()), {}};
  return std::nullopt;
}

}  // namespace qzplatform::sim
