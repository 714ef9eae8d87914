// The component model: ownership, removal notices, loading and design-time flags.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "qzclasses/text.h"

namespace qz {

enum class Operation { Insert, Remove };

// A component is destroyed by its owner (components with an owner are created with new);
// linked components ask each other for removal notices so they can drop their references.
class Component {
 public:
  explicit Component(Component* owner);
  virtual ~Component();
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  Component* Owner() const { return owner_; }
  std::size_t ComponentCount() const { return components_.size(); }
  Component* GetComponent(std::size_t index) const;  // throws RangeError

  const Text& Name() const { return name_; }
  void SetName(Text name) { name_ = std::move(name); }
  virtual Text ClassName() const { return u"Component"; }

  bool Loading() const { return loading_; }
  bool Designing() const { return designing_; }
  void SetDesigning(bool designing) { designing_ = designing; }
  bool Destroying() const { return destroying_; }

  // Mutual: each of the two is told (Notification with Operation::Remove) when the other
  // is destroyed.
  void FreeNotification(Component* other);
  void RemoveFreeNotification(Component* other);

  virtual void Notification(Component* component, Operation operation);

  // The loaded step, run once after stored properties were applied; ends the loading state.
  virtual void Loaded();
  void BeginLoad() { loading_ = true; }

 protected:
  // Destroys the owned components (last added first). Derived destructors that want
  // their own Notification to see the children go call this first.
  void DestroyComponents();
  // Marks the component as destroying and tells every linked component now. Derived
  // destructors call this first when linked components must find them still whole.
  void NotifyRemoval();

 private:
  friend void LoadStored(Component& c, const std::function<void()>& apply);

  void InsertComponent(Component* child);
  void RemoveComponent(Component* child);
  static void Unlink(std::vector<Component*>& list, Component* item);

  Component* owner_ = nullptr;
  std::vector<Component*> components_;
  std::vector<Component*> free_notifies_;
  Text name_;
  bool loading_ = false;
  bool designing_ = false;
  bool destroying_ = false;
};

// Applies stored properties with the loading flag set, then runs the loaded step. When
// apply throws, the loading state ends without the loaded step and the error propagates.
void LoadStored(Component& c, const std::function<void()>& apply);

}  // namespace qz
