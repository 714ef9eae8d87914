// The report codec: reads and writes one field's bits in a caller's report buffer.
// Fields are little-endian bit strings; positions count from the byte after the
// report-ID byte, which is byte 0 of every report, also when the device uses no
// report IDs. Every access is checked against the buffer's length.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hidparse::detail {

// Whether `bit_size` bits from `first_bit` lie inside a report of `length` bytes.
bool FieldFits(std::size_t length, std::uint64_t first_bit, std::uint32_t bit_size);

// The field's value: its low 32 bits when it is wider. 0 when it does not fit.
std::uint32_t ReadField(const std::uint8_t* report, std::size_t length, std::uint64_t first_bit,
                        std::uint32_t bit_size);

// Stores the low `bit_size` bits of `value` (bits beyond 32 become 0), leaving the
// neighbouring bits alone. False, writing nothing, when the field does not fit.
bool WriteField(std::uint8_t* report, std::size_t length, std::uint64_t first_bit,
                std::uint32_t bit_size, std::uint32_t value);

}  // namespace hidparse::detail
