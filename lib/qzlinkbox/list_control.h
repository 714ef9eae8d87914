// A drop-down list as the device selection box sees it (the toolkit supplies the real one).
#pragma once

#include <cstdint>

#include "qzclasses/text.h"

namespace qz {

// The items are texts only. Changing the items or the selection from here never runs
// the control's change step: only a pick by the user does.
class DeviceListControl {
 public:
  virtual ~DeviceListControl() = default;

  virtual void ClearItems() = 0;
  virtual void AddItem(const Text& text) = 0;
  virtual std::int32_t ItemCount() const = 0;
  virtual Text ItemText(std::int32_t index) const = 0;
  // -1 when nothing is selected.
  virtual std::int32_t ItemIndex() const = 0;
  // An index outside the items selects nothing.
  virtual void SetItemIndex(std::int32_t index) = 0;
};

}  // namespace qz
