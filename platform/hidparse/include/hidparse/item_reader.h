// Splits a report descriptor into items; knows their shape, not their meaning.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hidparse::detail {

enum class ItemType : std::uint8_t { kMain = 0, kGlobal = 1, kLocal = 2, kReserved = 3, kLong = 4 };

struct Item {
  std::size_t offset = 0;  // of the prefix byte
  std::size_t length = 0;  // prefix and data
  std::uint8_t prefix = 0;
  ItemType type = ItemType::kMain;
  std::uint8_t tag = 0;
  std::uint8_t size = 0;   // data bytes: 0, 1, 2 or 4 (a long item's own data size)
  std::uint32_t data = 0;  // little-endian data of a short item
};

enum class ReadStatus { kItem, kEnd, kTruncated };

class ItemReader {
 public:
  ItemReader(const std::uint8_t* descriptor, std::size_t length)
      : data_(descriptor), length_(descriptor ? length : 0) {}

  // Reads the next item. kTruncated leaves `item` describing the partial item
  // (offset, prefix, expected length) and stops the reader there.
  ReadStatus Next(Item* item);

  std::size_t offset() const { return offset_; }
  std::size_t length() const { return length_; }

 private:
  const std::uint8_t* data_;
  std::size_t length_;
  std::size_t offset_ = 0;
};

// An item's data as an unsigned number (zero-extended from its size).
std::uint32_t UnsignedValue(const Item& item);
// An item's data as a signed number (sign-extended from its size).
std::int32_t SignedValue(const Item& item);

}  // namespace hidparse::detail
