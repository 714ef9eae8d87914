// The report codec: reads and writes one field's bits in a caller's report buffer.
// Fields are little-endian bit strings; positions count from the byte after the
// report-ID byte, which is byte 0 of every report, also when the device uses no
// report IDs. Every access is checked against the buffer's length.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace hidparse::detail {

// Whether `bit_size` bits from `first_bit` lie inside a report of `length` bytes.
inline bool FieldFits(std::size_t length, std::uint64_t first_bit, std::uint64_t bit_size) {
  return length != 0 && (first_bit + bit_size + 7) / 8 <= length - 1;
}

inline std::uint64_t LowMask(std::uint32_t bits) {
  return bits >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bits) - 1;
}

// The field's value (its low 32 bits when it is wider), for a field the caller
// has checked with FieldFits. Inline: GetData reads every field through it.
inline std::uint32_t ReadFittingField(const std::uint8_t* report, std::size_t length,
                                      std::uint64_t first_bit, std::uint32_t bit_size) {
  const std::uint32_t bits = std::min<std::uint32_t>(bit_size, 32);
  const std::size_t first_byte = 1 + first_bit / 8;
  const unsigned shift = first_bit % 8;
  std::uint64_t gathered = 0;
  if constexpr (std::endian::native == std::endian::little) {
    // Eight bytes at once where the buffer has them: one load instead of a loop.
    if (first_byte + 8 <= length) {
      std::memcpy(&gathered, report + first_byte, 8);
      return static_cast<std::uint32_t>((gathered >> shift) & LowMask(bits));
    }
  }
  const std::size_t bytes = (shift + bits + 7) / 8;  // at most 5: fits 64 bits
  for (std::size_t i = 0; i < bytes; ++i) {
    gathered |= std::uint64_t{report[first_byte + i]} << (8 * i);
  }
  return static_cast<std::uint32_t>((gathered >> shift) & LowMask(bits));
}

// The field's value: its low 32 bits when it is wider. 0 when it does not fit.
std::uint32_t ReadField(const std::uint8_t* report, std::size_t length, std::uint64_t first_bit,
                        std::uint32_t bit_size);

// Stores the low `bit_size` bits of `value` (bits beyond 32 become 0), leaving the
// neighbouring bits alone. False, writing nothing, when the field does not fit.
bool WriteField(std::uint8_t* report, std::size_t length, std::uint64_t first_bit,
                std::uint32_t bit_size, std::uint32_t value);

}  // namespace hidparse::detail
