// The per-handle ring of unread input reports: what it keeps, and what one read takes.
#include "qzplatform/hidshared/input_ring.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using qzplatform::hidshared::InputRing;

TEST(InputRing, ReadsTakeWholeReportsOldestFirstAndShortReportsArePadded) {
  InputRing ring;
  ring.Push({1, 1, 1, 1});
  ring.Push({2, 2});  // shorter than the report length
  ring.Push({3, 3, 3, 3});
  std::uint8_t buffer[11];
  std::fill(std::begin(buffer), std::end(buffer), 0xEE);
  // Room for two 4-byte reports and three spare bytes: the third waits.
  ASSERT_EQ(ring.TakeInto(buffer, sizeof buffer, 4), 8u);
  const std::uint8_t expected[11] = {1, 1, 1, 1, 2, 2, 0, 0, 0xEE, 0xEE, 0xEE};
  EXPECT_TRUE(std::equal(std::begin(buffer), std::end(buffer), std::begin(expected)));
  EXPECT_EQ(ring.TakeInto(buffer, 3, 4), 0u) << "no room for a whole report";
  ASSERT_EQ(ring.TakeInto(buffer, 4, 4), 4u);
  EXPECT_EQ(buffer[0], 3);
  EXPECT_TRUE(ring.empty());
}

TEST(InputRing, KeepsTheNewestReportsUpToItsLength) {
  InputRing ring;
  EXPECT_EQ(ring.length(), 32u);
  for (std::uint8_t i = 0; i < 40; ++i) ring.Push({i});
  std::uint8_t first = 0;
  ASSERT_EQ(ring.TakeInto(&first, 1, 1), 1u);
  EXPECT_EQ(first, 8);
  ring.SetLength(2);  // keeps the newest two of the 31 left
  std::uint8_t rest[40] = {};
  ASSERT_EQ(ring.TakeInto(rest, sizeof rest, 1), 2u);
  EXPECT_EQ(rest[0], 38);
  EXPECT_EQ(rest[1], 39);
}

}  // namespace
