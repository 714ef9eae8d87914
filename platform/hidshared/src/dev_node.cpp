// Device nodes' properties as SetupAPI and the configuration manager hand them out,
// their numbers, and the helpers the tree modules share.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "device_tree_common.h"
#include "qzplatform/hidshared/collection_kind.h"

namespace qzplatform::hidshared {
namespace {

// The setup class's name, as SPDRP_CLASS gives it; empty for a class we do not name.
std::u16string ClassName(const GUID& guid) {
  if (guid == kHidClassGuid) return u"HIDClass";
  if (guid == kMouseClassGuid) return u"Mouse";
  if (guid == kKeyboardClassGuid) return u"Keyboard";
  if (guid == kUsbClassGuid) return u"USB";
  return u"";
}

std::optional<PropertyValue> Sz(std::u16string_view text) {
  if (text.empty()) return std::nullopt;
  return PropertyValue{REG_SZ, RegSz(text)};
}

}  // namespace

std::shared_ptr<DeviceTree> ActiveTree() {
  auto source = std::dynamic_pointer_cast<DeviceTreeSource>(CurrentGround());
  return source ? source->Devices() : nullptr;
}

std::size_t IdHash::operator()(std::u16string_view id) const {
  std::size_t hash = 14695981039346656037u;  // FNV-1a over the lower-case code units
  for (char16_t c : id) hash = (hash ^ LowerAsciiChar(c)) * 1099511628211u;
  return hash;
}

std::vector<BYTE> RegSz(std::u16string_view text) {
  std::vector<BYTE> bytes((text.size() + 1) * sizeof(WCHAR), 0);
  std::memcpy(bytes.data(), text.data(), text.size() * sizeof(WCHAR));
  return bytes;
}

std::vector<BYTE> RegMultiSz(const std::vector<std::u16string>& texts) {
  std::vector<BYTE> bytes;
  for (const auto& t : texts) {
    const std::vector<BYTE> one = RegSz(t);
    bytes.insert(bytes.end(), one.begin(), one.end());
  }
  bytes.insert(bytes.end(), sizeof(WCHAR), 0);
  return bytes;
}

std::u16string_view EnumeratorOf(std::u16string_view instance_id) {
  return instance_id.substr(0, instance_id.find(u'\\'));
}

const std::u16string* DevNode::Property(DWORD code) const {
  for (const auto& [c, text] : properties)
    if (c == code) return text.empty() ? nullptr : &text;
  return nullptr;
}

std::optional<PropertyValue> DevNode::Value(DWORD code) const {
  if (root) return std::nullopt;
  if (const std::u16string* text = Property(code)) return Sz(*text);
  switch (code) {
    case SPDRP_HARDWAREID:
      if (hardware_ids.empty()) return std::nullopt;
      return PropertyValue{REG_MULTI_SZ, RegMultiSz(hardware_ids)};
    case SPDRP_CLASS:
      return Sz(ClassName(class_guid));
    case SPDRP_CLASSGUID:
      // The registry keeps class GUIDs in lower case.
      return class_guid == GUID{} ? std::nullopt : Sz(GuidText(class_guid, true));
    case SPDRP_ENUMERATOR_NAME:
      return Sz(EnumeratorOf(instance_id));
    default:
      return std::nullopt;
  }
}

std::u16string DriverKey(const DevNode& node) {
  const std::u16string* driver = node.root ? nullptr : node.Property(SPDRP_DRIVER);
  return driver ? u"SYSTEM\\CurrentControlSet\\Control\\Class\\" + *driver : u"";
}

DEVINST DevInstOf(const std::u16string& instance_id) {
  static std::mutex mutex;
  static std::unordered_map<std::u16string, DEVINST, IdHash, IdEqual> numbers;
  std::lock_guard lock(mutex);
  auto [it, fresh] = numbers.try_emplace(instance_id, 0);
  if (fresh) it->second = static_cast<DEVINST>(numbers.size());
  return it->second;
}

}  // namespace qzplatform::hidshared
