// Device interface paths of the linux ground: <dev>/hidrawN for a node with one
// top-level collection, <dev>/hidrawN&colNN (NN: two hexadecimal digits, counted
// from 01) for each collection of a node that has several.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qzplatform::linux_ground {

struct DevicePath {
  unsigned node = 0;           // N of hidrawN
  std::size_t collection = 0;  // index from 0
  bool names_collection = false;  // the path carried &colNN
};

// Reads a path under `dev_root`; none when it is not a hidraw interface path.
// "&col" is matched without regard to case, as Windows matches device paths.
std::optional<DevicePath> ParseDevicePath(std::u16string_view path, std::string_view dev_root);
std::u16string FormatDevicePath(std::string_view dev_root, unsigned node, std::size_t collection,
                                std::size_t collection_count);

}  // namespace qzplatform::linux_ground
