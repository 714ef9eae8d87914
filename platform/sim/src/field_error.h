// Load errors that name the device (index and name) and the field at fault.
#pragma once

#include <string>
#include <string_view>

#include "qzplatform/ascii_text.h"
#include "qzplatform/sim/device_description.h"

namespace qzplatform::sim {

// "device 2 ("keyboard"), field "strings.product": <what>"
[[noreturn]] void ThrowFieldError(std::size_t device, std::string_view name, std::string_view field,
                                  std::string_view what);

// ASCII text as 16-bit units, for the loader and the machine.
std::u16string Widen(std::string_view ascii);

}  // namespace qzplatform::sim
