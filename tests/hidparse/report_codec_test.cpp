// The report codec: fields at any bit position, little-endian, neighbours kept,
// nothing read or written outside the buffer.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "report_bits.h"

namespace hidparse_test {
namespace {

using hidparse::detail::FieldFits;
using hidparse::detail::ReadField;
using hidparse::detail::WriteField;

TEST(ReportCodec, FieldsCrossByteBoundariesAndKeepTheirNeighbours) {
  std::vector<std::uint8_t> report(4, 0xFF);
  // 12 bits from bit 4 after the ID byte: the high nibble of byte 1 and all of byte 2.
  ASSERT_TRUE(WriteField(report.data(), report.size(), 4, 12, 0xABC));
  EXPECT_EQ(report[0], 0xFF);  // the report-ID byte is never a field
  EXPECT_EQ(report[1], 0xCF);
  EXPECT_EQ(report[2], 0xAB);
  EXPECT_EQ(report[3], 0xFF);
  EXPECT_EQ(ReadField(report.data(), report.size(), 4, 12), 0xABCu);
  // Only the field's low bits are stored.
  ASSERT_TRUE(WriteField(report.data(), report.size(), 0, 4, 0x15));
  EXPECT_EQ(report[1], 0xC5);
  EXPECT_EQ(ReadField(report.data(), report.size(), 0, 32 - 8), 0xFFABC5u);
}

TEST(ReportCodec, WideFieldsGiveTheirLow32BitsAndClearTheRest) {
  std::vector<std::uint8_t> report(7, 0xEE);
  ASSERT_TRUE(WriteField(report.data(), report.size(), 0, 48, 0x12345678));
  EXPECT_EQ(ReadField(report.data(), report.size(), 0, 48), 0x12345678u);
  EXPECT_EQ(report[5], 0);
  EXPECT_EQ(report[6], 0);
  EXPECT_EQ(report[0], 0xEE);
}

TEST(ReportCodec, FieldsOutsideTheBufferAreNeitherReadNorWritten) {
  std::vector<std::uint8_t> report(3, 0x5A);
  EXPECT_TRUE(FieldFits(3, 8, 8));
  EXPECT_FALSE(FieldFits(3, 9, 8));
  EXPECT_FALSE(FieldFits(0, 0, 0));
  EXPECT_FALSE(WriteField(report.data(), report.size(), 12, 8, 0));
  EXPECT_EQ(report, std::vector<std::uint8_t>(3, 0x5A));
  EXPECT_EQ(ReadField(report.data(), report.size(), 12, 8), 0u);
  EXPECT_EQ(ReadField(nullptr, 3, 0, 8), 0u);
  EXPECT_FALSE(FieldFits(1, 0, 1));  // a report of only its ID byte holds no field
}

}  // namespace
}  // namespace hidparse_test
