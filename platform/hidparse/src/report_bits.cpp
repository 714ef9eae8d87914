// The report codec: one field's bits in a report buffer, bounds-checked.
#include "report_bits.h"

#include <algorithm>

namespace hidparse::detail {

namespace {

constexpr std::uint32_t kWord = 32;

}  // namespace

std::uint32_t ReadField(const std::uint8_t* report, std::size_t length, std::uint64_t first_bit,
                        std::uint32_t bit_size) {
  if (report == nullptr || !FieldFits(length, first_bit, bit_size)) return 0;
  return ReadFittingField(report, length, first_bit, bit_size);
}

bool WriteField(std::uint8_t* report, std::size_t length, std::uint64_t first_bit,
                std::uint32_t bit_size, std::uint32_t value) {
  if (report == nullptr || !FieldFits(length, first_bit, bit_size)) return false;
  const std::uint32_t bits = std::min(bit_size, kWord);
  const std::size_t first_byte = 1 + first_bit / 8;
  const unsigned shift = first_bit % 8;
  const std::size_t bytes = (shift + bits + 7) / 8;
  const std::uint64_t mask = LowMask(bits) << shift;
  std::uint64_t gathered = 0;
  for (std::size_t i = 0; i < bytes; ++i) {
    gathered |= std::uint64_t{report[first_byte + i]} << (8 * i);
  }
  gathered = (gathered & ~mask) | ((std::uint64_t{value} << shift) & mask);
  for (std::size_t i = 0; i < bytes; ++i) {
    report[first_byte + i] = static_cast<std::uint8_t>(gathered >> (8 * i));
  }
  // A field wider than 32 bits: the bits above the value are cleared.
  for (std::uint64_t bit = first_bit + bits; bit < first_bit + bit_size; ++bit) {
    report[1 + bit / 8] &= static_cast<std::uint8_t>(~(1u << (bit % 8)));
  }
  return true;
}

}  // namespace hidparse::detail
