// The device tree the simulated machine shows: a root node, one USB device node per
// device and, below it, one HID node per top-level collection, which carries the
// collection's HID device interface. State changes go to the machine's nodes.
#pragma once

#include <memory>

#include "qzplatform/hidshared/device_tree.h"
#include "qzplatform/sim/machine.h"

namespace qzplatform::sim {

class SimDeviceTree : public hidshared::DeviceTree {
 public:
  explicit SimDeviceTree(std::shared_ptr<Machine> machine) : machine_(std::move(machine)) {}
  // Every node but removed ones: a removed node is gone from every list and search;
  // only a set that holds it can bring it back.
  std::vector<hidshared::DevNode> Snapshot() override;
  // The machine's change count: plugs, unplugs and node changes.
  std::optional<std::string> StateMark() override;
  // A 32-bit process on 64-bit Windows is refused with ERROR_IN_WOW64 (a program
  // sharing the machine, the 64-bit helper, is not), one without administrator rights
  // with ERROR_ACCESS_DENIED. Carried-out property changes are recorded on the machine.
  DWORD ChangeState(const hidshared::DevNode& node, DWORD state_change, DWORD scope) override;
  DWORD Remove(const hidshared::DevNode& node) override;
  DWORD Unremove(const hidshared::DevNode& node) override;

 private:
  // Where a node sits on the machine: its device, and its collection
  // (Machine::kDeviceNode for the USB node).
  struct Place {
    std::size_t device = 0;
    std::size_t collection = Machine::kDeviceNode;
    bool removed = false;
  };
  struct Built {
    std::vector<hidshared::DevNode> nodes;  // removed ones too
    std::vector<Place> places;              // one per node
  };
  Built Build() const;
  // Checks the process's rights and carries out `change` on the node; 0 or the error.
  DWORD Change(const hidshared::DevNode& node, Machine::NodeChange change, bool removed_too);

  const std::shared_ptr<Machine> machine_;
};

}  // namespace qzplatform::sim
