// Reading a report descriptor for hidcaps: hex text (bytes separated by blanks,
// commas or newlines, optional 0x prefixes, # and // comments) or raw binary.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hidcaps {

enum class InputFormat { kAuto, kHex, kBinary };

struct DescriptorInput {
  std::vector<std::uint8_t> bytes;
  std::string error;  // empty on success
  bool ok() const { return error.empty(); }
};

// Larger input is refused: a report descriptor is at most 64 KiB, and hex text
// of one a few times that.
inline constexpr std::size_t kMaxInputBytes = 4u << 20;

// Decodes file content. kAuto takes content made only of printable ASCII and
// whitespace (UTF-8 allowed in comments) as hex text, anything else as binary. Hex
// text may start with a UTF-8 byte order mark.
DescriptorInput DecodeDescriptor(const std::string& content, InputFormat format);

// Reads and decodes `path`; "-" reads standard input.
DescriptorInput ReadDescriptor(const std::string& path, InputFormat format);

}  // namespace hidcaps
