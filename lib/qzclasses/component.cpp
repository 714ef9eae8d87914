// The component model: ownership, removal notices, loading and design-time flags.
#include "qzclasses/component.h"

#include <algorithm>

#include "qzclasses/errors.h"

namespace qz {

Component::Component(Component* owner) {
  if (owner) owner->InsertComponent(this);
}

Component::~Component() {
  destroying_ = true;
  DestroyComponents();
  NotifyRemoval();
  if (owner_) owner_->RemoveComponent(this);
}

void Component::NotifyRemoval() {
  destroying_ = true;
  // One at a time: a notice may unlink other components.
  while (!free_notifies_.empty()) {
    Component* other = free_notifies_.back();
    free_notifies_.pop_back();
    Unlink(other->free_notifies_, this);
    other->Notification(this, Operation::Remove);
  }
}

Component* Component::GetComponent(std::size_t index) const {
  if (index >= components_.size()) throw RangeError();
  return components_[index];
}

void Component::DestroyComponents() {
  while (!components_.empty()) {
    Component* child = components_.back();
    components_.pop_back();
    child->owner_ = nullptr;
    // Linked components are told while the child is still whole: its own destructor
    // runs only after they have dropped it (a thread of theirs may be using it).
    child->NotifyRemoval();
    delete child;
  }
}

void Component::FreeNotification(Component* other) {
  if (!other || other == this) return;
  if (std::find(free_notifies_.begin(), free_notifies_.end(), other) == free_notifies_.end()) {
    free_notifies_.push_back(other);
  }
  if (std::find(other->free_notifies_.begin(), other->free_notifies_.end(), this) ==
      other->free_notifies_.end()) {
    other->free_notifies_.push_back(this);
  }
}

void Component::RemoveFreeNotification(Component* other) {
  if (!other) return;
  Unlink(free_notifies_, other);
  Unlink(other->free_notifies_, this);
}

void Component::Notification(Component*, Operation) {}

void Component::Loaded() { loading_ = false; }

void Component::InsertComponent(Component* child) {
  child->owner_ = this;
  components_.push_back(child);
}

void Component::RemoveComponent(Component* child) {
  Unlink(components_, child);
  child->owner_ = nullptr;
}

void Component::Unlink(std::vector<Component*>& list, Component* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

void LoadStored(Component& c, const std::function<void()>& apply) {
  c.BeginLoad();
  try {
    apply();
  } catch (...) {
    c.loading_ = false;
    throw;
  }
  c.Loaded();
}

}  // namespace qz
