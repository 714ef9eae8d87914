// Building the device tree from the machine's devices (identities, properties and
// hardware-key values of the USB and HID device nodes), and the class installer's
// changes of those nodes.
#include "sim_device_tree.h"

#include <algorithm>
#include <span>
#include <unordered_set>

#include "field_error.h"
#include "qzplatform/hidshared/collection_kind.h"
#include "shared_machine.h"

namespace qzplatform::sim {
namespace {

using hidshared::DevNode;

// {A5DCBF10-6530-11D2-901F-00C04FB951ED}: the USB device interface class, named in a
// USB device's SymbolicName.
constexpr GUID kUsbDeviceInterfaceGuid = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

std::u16string Hex(unsigned value, int digits) { return HexText<char16_t>(value, digits); }
std::u16string Number(std::size_t n) { return Widen(std::to_string(n)); }

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

std::u16string HardwareKey(const std::u16string& instance_id) {
  return u"SYSTEM\\CurrentControlSet\\Enum\\" + instance_id + u"\\Device Parameters";
}

void AddValue(DevNode& node, std::u16string name, const std::u16string& text) {
  if (!text.empty())
    node.hardware_values.push_back({std::move(name), REG_SZ, hidshared::RegSz(text)});
}

}  // namespace

SimDeviceTree::Built SimDeviceTree::Build() const {
  Built built;
  DevNode root;
  root.instance_id = u"HTREE\\ROOT\\0";
  root.root = true;
  built.nodes.push_back(std::move(root));
  built.places.push_back({});

  // Interfaces come device by device, each device's collections in a row.
  const std::vector<InterfaceInfo> all = machine_->Interfaces(false);
  built.nodes.reserve(1 + 2 * all.size());
  built.places.reserve(1 + 2 * all.size());
  std::unordered_set<std::u16string> used_drivers, usb_ids;  // in lower case
  for (const InterfaceInfo& info : all) used_drivers.insert(LowerAsciiText(info.driver));
  unsigned next_driver = 0;  // the USB nodes' driver keys take free numbers in turn
  std::size_t hid_pdos = 0;
  for (auto row = all.begin(); row != all.end();) {
    const auto row_end = std::find_if(
        row, all.end(), [&](const InterfaceInfo& i) { return i.device != row->device; });
    const std::span<const InterfaceInfo> collections(row, row_end);
    row = row_end;
    const InterfaceInfo& first = collections.front();
    const std::size_t device = first.device;
    const DeviceDescription& desc = machine_->Description(device);
    const std::u16string ids = VidPid(first.vendor_id, first.product_id);
    const std::u16string rev = u"&REV_" + Hex(first.version, 4);

    DevNode usb;
    const std::u16string generated =
        u"6&" + Hex(0x2C3D4E5Fu + static_cast<unsigned>(device) * 0x01010101u, 8) + u"&0&" +
        Number(device + 1);
    usb.instance_id =
        u"USB\\" + ids + u"\\" + (UsableSerial(desc.serial) ? *desc.serial : generated);
    // Two devices with one serial: the second gets its own ID.
    if (!usb_ids.insert(LowerAsciiText(usb.instance_id)).second) {
      usb.instance_id = u"USB\\" + ids + u"\\6&" +
                        Hex(0x2C3D4E5Fu + static_cast<unsigned>(device), 8) + u"&0&" +
                        Number(device + 1);
      usb_ids.insert(LowerAsciiText(usb.instance_id));
    }
    usb.class_guid = kHidClassGuid;
    usb.parent = built.nodes.front().instance_id;
    // The USB node's driver key takes the first number of the HID class left free.
    std::u16string driver;
    while (driver.empty()) {
      std::u16string key =
          GuidText(kHidClassGuid) + u"\\" + Number(10000 + next_driver++).substr(1);
      if (used_drivers.insert(LowerAsciiText(key)).second) driver = std::move(key);
    }
    const bool usb_removed = first.device_removed;
    usb.present = first.present && !usb_removed;
    usb.properties = {{SPDRP_DEVICEDESC, u"USB Input Device"},
                      {SPDRP_MFG, u"(Standard system devices)"},
                      {SPDRP_SERVICE, u"HidUsb"},
                      {SPDRP_DRIVER, driver},
                      {SPDRP_PHYSICAL_DEVICE_OBJECT_NAME,
                       usb.present ? u"\\Device\\USBPDO-" + Number(device + 1) : u""}};
    usb.hardware_ids = {u"USB\\" + ids + rev, u"USB\\" + ids};
    usb.hardware_key = HardwareKey(usb.instance_id);
    std::u16string symbolic =
        u"\\??\\" + usb.instance_id + u"#" + GuidText(kUsbDeviceInterfaceGuid, true);
    std::replace(symbolic.begin() + 4, symbolic.end(), u'\\', u'#');
    AddValue(usb, u"SymbolicName", symbolic);
    const std::u16string usb_id = usb.instance_id;
    built.nodes.push_back(std::move(usb));
    built.places.push_back({device, Machine::kDeviceNode, usb_removed});

    for (const InterfaceInfo& info : collections) {
      DevNode hid;
      hid.instance_id = info.instance_id;
      hid.class_guid = info.class_guid;
      hid.parent = usb_id;
      const bool removed = info.removed || info.device_removed;
      hid.present = info.present && !removed;
      ++hid_pdos;
      hid.properties = {
          {SPDRP_DEVICEDESC, info.description},
          {SPDRP_MFG, info.manufacturer},
          {SPDRP_SERVICE, info.service},
          {SPDRP_DRIVER, info.driver},
          {SPDRP_PHYSICAL_DEVICE_OBJECT_NAME,
           hid.present ? u"\\Device\\" + Hex(0x5F + static_cast<unsigned>(hid_pdos), 8) : u""}};
      const std::u16string col = collections.size() > 1
                                     ? u"&Col" + Hex(static_cast<unsigned>(info.collection + 1), 2)
                                     : u"";
      hid.hardware_ids = {
          u"HID\\" + ids + rev + col, u"HID\\" + ids + col,
          u"HID_DEVICE_UP:" + Hex(info.caps.UsagePage, 4) + u"_U:" + Hex(info.caps.Usage, 4),
          u"HID_DEVICE"};
      // A node that is not started (disabled, or its device's node disabled) keeps its
      // interface, inactive.
      hid.interfaces = {
          {kHidInterfaceGuid, info.path, hid.present && info.enabled && info.device_enabled}};
      hid.hardware_key = HardwareKey(hid.instance_id);
      AddValue(hid, u"PortName", desc.enumeration.port_name);
      built.nodes.push_back(std::move(hid));
      built.places.push_back({device, info.collection, removed});
    }
  }
  return built;
}

std::optional<std::string> SimDeviceTree::StateMark() {
  return std::to_string(machine_->ChangeCount());
}

std::vector<DevNode> SimDeviceTree::Snapshot() {
  Built built = Build();
  std::vector<DevNode> nodes;
  nodes.reserve(built.nodes.size());
  for (std::size_t i = 0; i < built.nodes.size(); ++i)
    if (!built.places[i].removed) nodes.push_back(std::move(built.nodes[i]));
  return nodes;
}

DWORD SimDeviceTree::Change(const DevNode& node, Machine::NodeChange change, bool removed_too) {
  const Built built = Build();
  std::size_t i = 0;
  while (i < built.nodes.size() &&
         LowerAsciiText(built.nodes[i].instance_id) != LowerAsciiText(node.instance_id))
    ++i;
  if (i == built.nodes.size()) return ERROR_NO_SUCH_DEVINST;
  if (built.nodes[i].root) return ERROR_ACCESS_DENIED;  // the root cannot be changed
  if (machine_->Wow64() && !ServingSharedProcess()) return ERROR_IN_WOW64;
  if (!machine_->Elevated()) return ERROR_ACCESS_DENIED;
  const Place& place = built.places[i];
  if (place.removed && !removed_too) return ERROR_NO_SUCH_DEVINST;
  machine_->ChangeNode(place.device, place.collection, change);
  return ERROR_SUCCESS;
}

DWORD SimDeviceTree::ChangeState(const DevNode& node, DWORD state_change, DWORD scope) {
  Machine::NodeChange change;
  switch (state_change) {
    case DICS_ENABLE:
    case DICS_START:
      change = Machine::NodeChange::kEnable;
      break;
    case DICS_DISABLE:
    case DICS_STOP:
      change = Machine::NodeChange::kDisable;
      break;
    case DICS_PROPCHANGE:
      change = Machine::NodeChange::kRestart;
      break;
    default:
      return ERROR_INVALID_PARAMETER;
  }
  const DWORD error = Change(node, change, false);
  if (error == ERROR_SUCCESS)
    machine_->RecordPropertyChange({node.instance_id, state_change, scope, ServingSharedProcess()});
  return error;
}

DWORD SimDeviceTree::Remove(const DevNode& node) {
  return Change(node, Machine::NodeChange::kRemove, false);
}

DWORD SimDeviceTree::Unremove(const DevNode& node) {
  return Change(node, Machine::NodeChange::kUnremove, true);
}

}  // namespace qzplatform::sim
