// The class installer's side of the machine: enabling, disabling, restarting, removing
// and bringing back device nodes, the process's rights as the installer sees them,
// the changes carried out, and the temporary folder.
#include <utility>

#include "device_file.h"
#include "machine_state.h"

namespace qzplatform::sim {

bool MachineState::Started(const SimDevice& device, const SimInterface& itf) {
  return !device.behaviour.unplugged && !device.disabled && !device.removed && !itf.disabled &&
         !itf.removed;
}

void MachineState::StopInterfaceLocked(SimDevice& device, SimInterface& itf) {
  ++itf.generation;
  for (const auto& weak : itf.files)
    if (auto file = weak.lock()) file->Disconnect();
  itf.files.clear();
  UpdateScriptLocked(device);
}

void MachineState::ChangeNodeLocked(std::size_t device, std::size_t collection,
                                    Machine::NodeChange change) {
  SimDevice& d = Device(device);
  const bool whole = collection == Machine::kDeviceNode;
  if (!whole && collection >= d.interfaces.size())
    throw std::out_of_range("device " + std::to_string(device) + " has no collection " +
                            std::to_string(collection));
  std::vector<bool> before;
  for (const SimInterface& itf : d.interfaces) before.push_back(Started(d, itf));
  ++changes;
  bool& disabled = whole ? d.disabled : d.interfaces[collection].disabled;
  bool& removed = whole ? d.removed : d.interfaces[collection].removed;
  switch (change) {
    case Machine::NodeChange::kEnable: disabled = false; break;
    case Machine::NodeChange::kDisable: disabled = true; break;
    case Machine::NodeChange::kRemove: removed = true; break;
    case Machine::NodeChange::kUnremove: removed = false; break;
    case Machine::NodeChange::kRestart: break;
  }
  for (std::size_t c = 0; c < d.interfaces.size(); ++c) {
    if (!whole && c != collection) continue;
    SimInterface& itf = d.interfaces[c];
    // A restart stops a running stack and starts it again at once.
    if (before[c] && (change == Machine::NodeChange::kRestart || !Started(d, itf)))
      StopInterfaceLocked(d, itf);
  }
}

void Machine::ChangeNode(std::size_t device, std::size_t collection, NodeChange change) {
  std::lock_guard lock(state_->mutex);
  state_->ChangeNodeLocked(device, collection, change);
}

bool Machine::NodeEnabled(std::size_t device, std::size_t collection) const {
  std::lock_guard lock(state_->mutex);
  const SimDevice& d = state_->Device(device);
  if (collection == kDeviceNode) return !d.disabled;
  return !d.interfaces.at(collection).disabled;
}

bool Machine::NodeRemoved(std::size_t device, std::size_t collection) const {
  std::lock_guard lock(state_->mutex);
  const SimDevice& d = state_->Device(device);
  if (collection == kDeviceNode) return d.removed;
  return d.interfaces.at(collection).removed;
}

void Machine::SetWow64(bool wow64) {
  std::lock_guard lock(state_->mutex);
  state_->wow64 = wow64;
}

bool Machine::Wow64() const {
  std::lock_guard lock(state_->mutex);
  return state_->wow64;
}

void Machine::SetElevated(bool elevated) {
  std::lock_guard lock(state_->mutex);
  state_->elevated = elevated;
}

bool Machine::Elevated() const {
  std::lock_guard lock(state_->mutex);
  return state_->elevated;
}

void Machine::RecordPropertyChange(PropertyChange change) {
  std::lock_guard lock(state_->mutex);
  state_->property_changes.push_back(std::move(change));
}

std::vector<PropertyChange> Machine::TakePropertyChanges() {
  std::lock_guard lock(state_->mutex);
  return std::exchange(state_->property_changes, {});
}

void Machine::SetTempFolder(std::u16string folder) {
  std::lock_guard lock(state_->mutex);
  state_->temp_folder = std::move(folder);
}

std::u16string Machine::TempFolder() const {
  std::lock_guard lock(state_->mutex);
  return state_->temp_folder;
}

}  // namespace qzplatform::sim
