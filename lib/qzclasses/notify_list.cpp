// The listeners of an I/O component, called with a code when its device list changes.
#include "qzclasses/notify_list.h"

#include "qzclasses/errors.h"
#include "qzclasses/format.h"

namespace qz {

std::int32_t TqzNotifyList::Add(const TqzNotifyEvent& Item) {
  fItems.push_back(Item);
  return Count() - 1;
}

void TqzNotifyList::Delete(std::int32_t Index) {
  CheckIndex(Index);
  fItems.erase(fItems.begin() + Index);
}

void TqzNotifyList::Clear() { fItems.clear(); }

TqzNotifyEvent TqzNotifyList::Get(std::int32_t Index) const {
  CheckIndex(Index);
  return fItems[static_cast<std::size_t>(Index)];
}

void TqzNotifyList::Put(std::int32_t Index, const TqzNotifyEvent& Item) {
  CheckIndex(Index);
  fItems[static_cast<std::size_t>(Index)] = Item;
}

std::int32_t TqzNotifyList::IndexOf(const TqzNotifyEvent& Item) const {
  for (std::size_t i = 0; i < fItems.size(); ++i) {
    if (fItems[i] == Item) return static_cast<std::int32_t>(i);
  }
  return -1;
}

std::int32_t TqzNotifyList::IndexOfListener(const TqzNotifyEvent& Item) const {
  for (std::size_t i = 0; i < fItems.size(); ++i) {
    if (fItems[i] == Item && fItems[i].Object() == Item.Object()) {
      return static_cast<std::int32_t>(i);
    }
  }
  return -1;
}

void TqzNotifyList::Call(Component* Sender, std::int32_t Code) const {
  const std::int32_t n = Count();
  for (std::int32_t i = 0; i < n; ++i) {
    const TqzNotifyEvent handler = Get(i);
    if (handler) handler(Sender, Code);
  }
}

void TqzNotifyList::CheckIndex(std::int32_t Index) const {
  if (Index < 0 || Index >= Count()) {
    throw RangeError(Format(u"List index out of bounds (%d)", {Index}));
  }
}

}  // namespace qz
