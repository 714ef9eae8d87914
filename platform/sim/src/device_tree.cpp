// Building the device tree from the machine's devices: identities, properties and
// hardware-key values of the USB and HID device nodes.
#include "device_tree.h"

#include <algorithm>
#include <cstring>

#include "field_error.h"
#include "qzplatform/sim/sim_ground.h"

namespace qzplatform::sim {
namespace {

// {A5DCBF10-6530-11D2-901F-00C04FB951ED}: the USB device interface class, named in a
// USB device's SymbolicName.
constexpr GUID kUsbDeviceInterfaceGuid = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
constexpr GUID kMouseClassGuid = {
    0x4D36E96F, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
constexpr GUID kKeyboardClassGuid = {
    0x4D36E96B, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

std::u16string Hex(unsigned value, int digits) { return Widen(HexNumber(value, digits)); }

std::u16string VidPid(USHORT vid, USHORT pid) {
  return u"VID_" + Hex(vid, 4) + u"&PID_" + Hex(pid, 4);
}

// Windows names a USB device instance by its serial number when the serial can be
// part of an ID (printable ASCII without ',' and '\'), else by a generated one.
bool UsableSerial(const std::optional<std::u16string>& serial) {
  return serial && !serial->empty() && std::all_of(serial->begin(), serial->end(), [](char16_t c) {
           return c > 0x20 && c < 0x7F && c != u',' && c != u'\\';
         });
}

std::u16string ClassName(const GUID& guid) {
  if (SameGuid(guid, kHidClassGuid)) return u"HIDClass";
  if (SameGuid(guid, kMouseClassGuid)) return u"Mouse";
  if (SameGuid(guid, kKeyboardClassGuid)) return u"Keyboard";
  return u"";
}

std::optional<NodeProperty> Sz(std::u16string_view text) {
  if (text.empty()) return std::nullopt;
  return NodeProperty{REG_SZ, SzBytes(text)};
}

}  // namespace

bool SameText(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && LowerAscii(std::u16string(a)) == LowerAscii(std::u16string(b));
}

std::vector<BYTE> SzBytes(std::u16string_view text) {
  std::vector<BYTE> bytes((text.size() + 1) * sizeof(char16_t), 0);
  std::memcpy(bytes.data(), text.data(), text.size() * sizeof(char16_t));
  return bytes;
}

std::vector<BYTE> MultiSzBytes(const std::vector<std::u16string>& texts) {
  std::vector<BYTE> bytes;
  for (const auto& t : texts) {
    const std::vector<BYTE> one = SzBytes(t);
    bytes.insert(bytes.end(), one.begin(), one.end());
  }
  bytes.insert(bytes.end(), sizeof(char16_t), 0);
  return bytes;
}

DeviceTree::DeviceTree() {
  DeviceNode root;
  root.devinst = 1;
  root.instance_id = u"HTREE\\ROOT\\0";
  nodes_.push_back(std::move(root));
}

DeviceTree::DeviceTree(const Machine& machine) : DeviceTree() {
  const std::vector<InterfaceInfo> all = machine.Interfaces(false);
  for (const InterfaceInfo& info : all) used_drivers_.push_back(LowerAscii(info.driver));
  for (std::size_t device = 0; device < machine.DeviceCount(); ++device) {
    std::vector<InterfaceInfo> collections;
    std::copy_if(all.begin(), all.end(), std::back_inserter(collections),
                 [&](const InterfaceInfo& i) { return i.device == device; });
    if (!collections.empty()) Add(device, collections, machine);
  }
}

void DeviceTree::Add(std::size_t device, const std::vector<InterfaceInfo>& collections,
                     const Machine& machine) {
  const InterfaceInfo& first = collections.front();
  const DeviceDescription& desc = machine.Description(device);
  const std::u16string ids = VidPid(first.vendor_id, first.product_id);
  const std::u16string rev = u"&REV_" + Hex(first.version, 4);

  DeviceNode usb;
  usb.devinst = static_cast<DEVINST>(nodes_.size() + 1);
  usb.parent = 1;
  std::u16string instance =
      UsableSerial(desc.serial)
          ? *desc.serial
          : u"6&" + Hex(0x2C3D4E5Fu + static_cast<unsigned>(device) * 0x01010101u, 8) + u"&0&" +
                Widen(std::to_string(device + 1));
  usb.instance_id = u"USB\\" + ids + u"\\" + instance;
  if (Find(usb.instance_id))  // two devices with one serial: the second gets its own ID
    usb.instance_id = u"USB\\" + ids + u"\\6&" +
                      Hex(0x2C3D4E5Fu + static_cast<unsigned>(device), 8) + u"&0&" +
                      Widen(std::to_string(device + 1));
  usb.class_guid = kHidClassGuid;
  usb.description = u"USB Input Device";
  usb.manufacturer = u"(Standard system devices)";
  usb.service = u"HidUsb";
  // The USB node's driver key takes the first number of the HID class left free.
  const std::u16string prefix = GuidText(kHidClassGuid) + u"\\";
  for (unsigned n = 0;; ++n) {
    std::u16string key = prefix + Widen(std::to_string(10000 + n).substr(1));
    if (std::find(used_drivers_.begin(), used_drivers_.end(), LowerAscii(key)) ==
        used_drivers_.end()) {
      usb.driver = key;
      used_drivers_.push_back(LowerAscii(key));
      break;
    }
  }
  usb.device = device;
  usb.removed = first.device_removed;
  usb.enabled = first.device_enabled;
  usb.present = first.present && !usb.removed;
  usb.started = usb.present && usb.enabled;
  if (usb.present) usb.pdo_name = u"\\Device\\USBPDO-" + Widen(std::to_string(device + 1));
  usb.hardware_ids = {u"USB\\" + ids + rev, u"USB\\" + ids};
  usb.symbolic_name = u"\\??\\" + usb.instance_id + u"#" + GuidText(kUsbDeviceInterfaceGuid, true);
  std::replace(usb.symbolic_name.begin() + 4, usb.symbolic_name.end(), u'\\', u'#');
  const DEVINST usb_devinst = usb.devinst;
  nodes_.front().children.push_back(usb_devinst);
  nodes_.push_back(std::move(usb));

  for (const InterfaceInfo& info : collections) {
    DeviceNode hid;
    hid.devinst = static_cast<DEVINST>(nodes_.size() + 1);
    hid.parent = usb_devinst;
    hid.instance_id = info.instance_id;
    hid.class_guid = info.class_guid;
    hid.description = info.description;
    hid.manufacturer = info.manufacturer;
    hid.service = info.service;
    hid.driver = info.driver;
    hid.device = info.device;
    hid.collection = static_cast<std::ptrdiff_t>(info.collection);
    hid.removed = info.removed || info.device_removed;
    hid.enabled = info.enabled;
    hid.present = info.present && !hid.removed;
    hid.started = hid.present && info.enabled && info.device_enabled;
    ++hid_pdos_;
    if (hid.present) hid.pdo_name = u"\\Device\\" + Hex(0x5F + static_cast<unsigned>(hid_pdos_), 8);
    const std::u16string col =
        collections.size() > 1 ? u"&Col" + Hex(static_cast<unsigned>(info.collection + 1), 2) : u"";
    hid.hardware_ids = {
        u"HID\\" + ids + rev + col, u"HID\\" + ids + col,
        u"HID_DEVICE_UP:" + Hex(info.caps.UsagePage, 4) + u"_U:" + Hex(info.caps.Usage, 4),
        u"HID_DEVICE"};
    hid.interfaces = {info.path};
    hid.port_name = desc.enumeration.port_name;
    nodes_[usb_devinst - 1].children.push_back(hid.devinst);
    nodes_.push_back(std::move(hid));
  }
}

const DeviceNode* DeviceTree::Find(DEVINST devinst) const {
  if (devinst == 0 || devinst > nodes_.size()) return nullptr;
  return &nodes_[devinst - 1];
}

const DeviceNode* DeviceTree::Find(std::u16string_view instance_id) const {
  for (const DeviceNode& n : nodes_)
    if (!n.removed && SameText(n.instance_id, instance_id)) return &n;
  return nullptr;
}

DeviceTree CurrentDeviceTree() {
  auto ground = std::dynamic_pointer_cast<SimGround>(CurrentGround());
  if (!ground || !ground->machine()) return DeviceTree();
  return DeviceTree(*ground->machine());
}

std::optional<NodeProperty> PropertyOf(const DeviceNode& node, DWORD property) {
  if (node.parent == 0) return std::nullopt;  // the root has no properties
  switch (property) {
    case SPDRP_DEVICEDESC:
      return Sz(node.description);
    case SPDRP_HARDWAREID:
      return NodeProperty{REG_MULTI_SZ, MultiSzBytes(node.hardware_ids)};
    case SPDRP_SERVICE:
      return Sz(node.service);
    case SPDRP_CLASS:
      return Sz(ClassName(node.class_guid));
    case SPDRP_CLASSGUID:
      return Sz(GuidText(node.class_guid, true));
    case SPDRP_DRIVER:
      return Sz(node.driver);
    case SPDRP_MFG:
      return Sz(node.manufacturer);
    case SPDRP_PHYSICAL_DEVICE_OBJECT_NAME:
      return Sz(node.pdo_name);
    case SPDRP_ENUMERATOR_NAME:
      return Sz(std::u16string_view(node.instance_id).substr(0, node.instance_id.find(u'\\')));
    default:
      return std::nullopt;
  }
}

}  // namespace qzplatform::sim
