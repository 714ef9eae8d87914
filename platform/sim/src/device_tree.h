// The device tree the device-installation interface shows for the simulated machine:
// a root node, one USB device node per device and, below it, one HID node per
// top-level collection, which carries the collection's HID device interface.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "qzplatform/setupapi.h"
#include "qzplatform/sim/machine.h"

namespace qzplatform::sim {

struct DeviceNode {
  DEVINST devinst = 0;
  DEVINST parent = 0;  // 0 for the root
  std::vector<DEVINST> children;
  std::u16string instance_id;
  GUID class_guid{};
  std::u16string description, manufacturer, service, driver;
  std::u16string pdo_name;  // empty while the device is not present
  std::vector<std::u16string> hardware_ids;
  bool present = true;
  // The class installer's state: a removed node is gone from every list and search
  // (only a set that holds it can bring it back); a node that is not started has no
  // active interface.
  bool enabled = true;
  bool removed = false;
  bool started = true;
  // The machine's device, and the collection of a HID node (-1 for the USB node).
  std::size_t device = 0;
  std::ptrdiff_t collection = -1;
  std::vector<std::u16string> interfaces;  // paths of its HID interfaces
  // Values of the hardware key ("Device Parameters"); empty: the key has none.
  std::u16string symbolic_name, port_name;
};

// A registry property of a node: its registry type and bytes.
struct NodeProperty {
  DWORD type = REG_SZ;
  std::vector<BYTE> data;
};

class DeviceTree {
 public:
  DeviceTree();  // a machine without devices: the root alone
  explicit DeviceTree(const Machine& machine);

  // In DEVINST order: nodes()[i].devinst == i + 1, the root first.
  const std::vector<DeviceNode>& nodes() const { return nodes_; }
  const DeviceNode* Find(DEVINST devinst) const;
  const DeviceNode* Find(std::u16string_view instance_id) const;  // any case

 private:
  void Add(std::size_t device, const std::vector<InterfaceInfo>& collections,
           const Machine& machine);

  std::vector<DeviceNode> nodes_;
  std::vector<std::u16string> used_drivers_;
  std::size_t hid_pdos_ = 0;
};

// The tree of the active sim machine, or the root alone when another ground is active.
DeviceTree CurrentDeviceTree();

// The SPDRP_ property `property` of `node`, or nothing when the node has no such value.
std::optional<NodeProperty> PropertyOf(const DeviceNode& node, DWORD property);

// Registry texts: REG_SZ bytes with their terminator, REG_MULTI_SZ with the final NUL.
std::vector<BYTE> SzBytes(std::u16string_view text);
std::vector<BYTE> MultiSzBytes(const std::vector<std::u16string>& texts);

bool SameText(std::u16string_view a, std::u16string_view b);  // ASCII case ignored

}  // namespace qzplatform::sim
