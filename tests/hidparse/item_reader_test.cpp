// The item reader: framing of short and long items, data values, truncation.
#include <gtest/gtest.h>

#include <vector>

#include "hidparse/item_reader.h"

namespace hidparse::detail {
namespace {

std::vector<Item> ReadAll(const std::vector<std::uint8_t>& bytes, ReadStatus* last) {
  ItemReader reader(bytes.data(), bytes.size());
  std::vector<Item> items;
  Item item;
  while ((*last = reader.Next(&item)) == ReadStatus::kItem) items.push_back(item);
  if (*last == ReadStatus::kTruncated) items.push_back(item);
  return items;
}

TEST(ItemReader, FramesShortItemsOfEverySize) {
  // Usage Page (1 byte), Logical Maximum (2 bytes), Logical Minimum (4 bytes),
  // End Collection (no data).
  ReadStatus last;
  const auto items = ReadAll({0x05, 0x01, 0x26, 0xFF, 0x00, 0x17, 0x00, 0x00, 0x00, 0x80, 0xC0},
                             &last);
  EXPECT_EQ(last, ReadStatus::kEnd);
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].type, ItemType::kGlobal);
  EXPECT_EQ(items[0].tag, 0x0);
  EXPECT_EQ(items[0].data, 0x01u);
  EXPECT_EQ(items[1].offset, 2u);
  EXPECT_EQ(items[1].size, 2);
  EXPECT_EQ(UnsignedValue(items[1]), 0xFFu);
  EXPECT_EQ(SignedValue(items[1]), 255);  // little-endian 0x00FF, positive
  EXPECT_EQ(items[2].size, 4);            // size code 3 means four bytes
  EXPECT_EQ(SignedValue(items[2]), INT32_MIN);
  EXPECT_EQ(items[3].type, ItemType::kMain);
  EXPECT_EQ(items[3].tag, 0xC);
  EXPECT_EQ(items[3].offset, 10u);
}

TEST(ItemReader, SignExtendsFromTheItemWidth) {
  ReadStatus last;
  const auto items = ReadAll({0x15, 0x81, 0x16, 0x01, 0x80, 0x15, 0x7F}, &last);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(SignedValue(items[0]), -127);
  EXPECT_EQ(SignedValue(items[1]), -32767);
  EXPECT_EQ(SignedValue(items[2]), 127);
  EXPECT_EQ(UnsignedValue(items[0]), 0x81u);
}

TEST(ItemReader, SkipsLongItemsWhole) {
  // Long item with 3 data bytes (which look like a truncated 4-byte item), then
  // Usage Page.
  ReadStatus last;
  const auto items = ReadAll({0xFE, 0x03, 0x10, 0x07, 0xAA, 0xBB, 0x05, 0x09}, &last);
  EXPECT_EQ(last, ReadStatus::kEnd);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].type, ItemType::kLong);
  EXPECT_EQ(items[0].size, 3);
  EXPECT_EQ(items[0].tag, 0x10);
  EXPECT_EQ(items[0].length, 6u);
  EXPECT_EQ(items[1].offset, 6u);
}

TEST(ItemReader, StopsAtTruncatedItems) {
  struct Case {
    std::vector<std::uint8_t> bytes;
    std::size_t offset;
    std::size_t length;
  } cases[] = {
      {{0x05, 0x01, 0x06, 0x00}, 2, 3},              // 2-byte item, one byte left
      {{0x27, 0xFF, 0xFF}, 0, 5},                    // 4-byte item, two bytes left
      {{0xFE}, 0, 3},                                // long item without its header
      {{0x05, 0x01, 0xFE, 0x04, 0x00, 0x01}, 2, 7},  // long item short of data
  };
  for (const Case& c : cases) {
    ReadStatus last;
    const auto items = ReadAll(c.bytes, &last);
    EXPECT_EQ(last, ReadStatus::kTruncated);
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items.back().offset, c.offset);
    EXPECT_EQ(items.back().length, c.length);
  }
}

TEST(ItemReader, EmptyAndNullInputEndAtOnce) {
  Item item;
  EXPECT_EQ(ItemReader(nullptr, 10).Next(&item), ReadStatus::kEnd);
  const std::uint8_t byte = 0;
  EXPECT_EQ(ItemReader(&byte, 0).Next(&item), ReadStatus::kEnd);
}

}  // namespace
}  // namespace hidparse::detail
