// The per-handle ring of unread input reports: what it keeps, and what one read takes.
#include "qzplatform/hidshared/input_ring.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

// Counts the allocations of this test program, to show the ring reuses its slots.
namespace {
std::atomic<long> g_allocations{0};
}  // namespace

// GCC takes a replaced operator delete calling free for a mismatch; here it is the pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  ++g_allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

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

TEST(InputRing, ASteadyStreamOfReportsAllocatesNothing) {
  InputRing ring;
  ring.SetLength(4);
  std::uint8_t report[65] = {};
  std::uint8_t buffer[65];
  for (int i = 0; i < 8; ++i) ring.Push(report, sizeof report);  // every slot holds one
  std::uint8_t all[4 * 65];
  ASSERT_EQ(ring.TakeInto(all, sizeof all, sizeof report), sizeof all);
  const long before = g_allocations.load();
  for (std::uint8_t i = 0; i < 100; ++i) {
    report[1] = i;
    ring.Push(report, i % 2 ? sizeof report : 9);  // a shorter one reuses its slot too
    ASSERT_EQ(ring.TakeInto(buffer, sizeof buffer, sizeof report), sizeof report);
    ASSERT_EQ(buffer[1], i);
  }
  EXPECT_EQ(g_allocations.load(), before);
}

}  // namespace
