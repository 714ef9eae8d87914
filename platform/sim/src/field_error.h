// Load errors that name the device (index and name) and the field at fault.
#pragma once

#include <string>
#include <string_view>

#include "qzplatform/sim/device_description.h"

namespace qzplatform::sim {

// "device 2 ("keyboard"), field "strings.product": <what>"
[[noreturn]] void ThrowFieldError(std::size_t device, std::string_view name, std::string_view field,
                                  std::string_view what);

// Small text helpers shared by the loader and the machine.
std::string HexNumber(unsigned value, int digits);
std::u16string Widen(std::string_view ascii);
std::u16string LowerAscii(std::u16string text);

}  // namespace qzplatform::sim
