// Item framing of HID 1.11 section 6.2.2.2: short items (1 prefix byte, 0/1/2/4 data
// bytes) and long items (0xFE, size, tag, data), read with a bounds check first.
#include "hidparse/item_reader.h"

namespace hidparse::detail {

namespace {
constexpr std::uint8_t kLongItemPrefix = 0xFE;
constexpr std::size_t kShortDataSize[4] = {0, 1, 2, 4};
}  // namespace

ReadStatus ItemReader::Next(Item* item) {
  if (offset_ >= length_) return ReadStatus::kEnd;
  const std::size_t left = length_ - offset_;
  const std::uint8_t prefix = data_[offset_];
  *item = Item{};
  item->offset = offset_;
  item->prefix = prefix;

  if (prefix == kLongItemPrefix) {
    item->type = ItemType::kLong;
    if (left < 3) {
      item->length = 3;
      offset_ = length_;
      return ReadStatus::kTruncated;
    }
    item->size = data_[offset_ + 1];
    item->tag = data_[offset_ + 2];
    item->length = 3 + std::size_t{item->size};
    if (left < item->length) {
      offset_ = length_;
      return ReadStatus::kTruncated;
    }
    offset_ += item->length;
    return ReadStatus::kItem;
  }

  item->type = static_cast<ItemType>((prefix >> 2) & 0x3);
  item->tag = static_cast<std::uint8_t>(prefix >> 4);
  item->size = static_cast<std::uint8_t>(kShortDataSize[prefix & 0x3]);
  item->length = 1 + std::size_t{item->size};
  if (left < item->length) {
    offset_ = length_;
    return ReadStatus::kTruncated;
  }
  for (std::size_t i = 0; i < item->size; ++i) {
    item->data |= std::uint32_t{data_[offset_ + 1 + i]} << (8 * i);
  }
  offset_ += item->length;
  return ReadStatus::kItem;
}

std::uint32_t UnsignedValue(const Item& item) { return item.data; }

std::int32_t SignedValue(const Item& item) {
  switch (item.size) {
    case 1: return static_cast<std::int8_t>(item.data & 0xFF);
    case 2: return static_cast<std::int16_t>(item.data & 0xFFFF);
    case 4: return static_cast<std::int32_t>(item.data);
    default: return 0;
  }
}

}  // namespace hidparse::detail
