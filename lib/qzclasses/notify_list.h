// The listeners of an I/O component, called with a code when its device list changes.
#pragma once

#include <cstdint>
#include <vector>

#include "qzclasses/types.h"

namespace qz {

// Used on the main thread only; no lock.
class TqzNotifyList {
 public:
  // Appends Item without looking for an equal entry; returns its index.
  std::int32_t Add(const TqzNotifyEvent& Item);
  void Delete(std::int32_t Index);  // throws RangeError
  void Clear();

  TqzNotifyEvent Get(std::int32_t Index) const;                // throws RangeError
  void Put(std::int32_t Index, const TqzNotifyEvent& Item);  // throws RangeError
  std::int32_t Count() const { return static_cast<std::int32_t>(fItems.size()); }

  // Index of the first entry entering the same code as Item (objects are not compared), or -1.
  // Two listeners of one class count as one here; NotifyAdd and NotifyDelete of the I/O
  // component use IndexOfListener instead, so that each listener keeps its own entry.
  std::int32_t IndexOf(const TqzNotifyEvent& Item) const;
  // Index of the first entry with Item's code and object, or -1.
  std::int32_t IndexOfListener(const TqzNotifyEvent& Item) const;

  // Calls the entries present when the call starts, in order. A handler that removes
  // entries makes the read of a missing index fail with RangeError.
  void Call(Component* Sender, std::int32_t Code) const;

 private:
  void CheckIndex(std::int32_t Index) const;

  std::vector<TqzNotifyEvent> fItems;
};

}  // namespace qz
