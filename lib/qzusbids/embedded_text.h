// The usb.ids text built into Windows programs (a source generated at build time).
#pragma once

#include <cstddef>

namespace qzusbids {

extern const char kEmbeddedUsbIdsText[];
extern const std::size_t kEmbeddedUsbIdsSize;

}  // namespace qzusbids
