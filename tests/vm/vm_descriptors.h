// Report descriptors of the uhid devices the guest programs make, and hex text to bytes.
#pragma once

#include <cstdio>

#include "qzplatform/linux/uhid_device.h"

namespace vmtest {

using qzplatform::linux_ground::Bytes;
using qzplatform::linux_ground::UhidDevice;

// "06 00 FF" -> {0x06, 0x00, 0xFF}: two digits a byte, spaces between bytes allowed.
inline Bytes Hex(const char* text) {
  Bytes out;
  unsigned v;
  int n;
  while (std::sscanf(text, "%2x%n", &v, &n) == 1) {
    out.push_back(static_cast<std::uint8_t>(v));
    text += n;
    while (*text == ' ') ++text;
  }
  return out;
}

// 64-byte input, output and feature reports, no report IDs.
inline const Bytes kVendor = Hex(
    "06 00 FF 09 01 A1 01 15 00 26 FF 00 75 08 95 40 09 01 81 02 09 01 91 02 09 01 B1 02 C0");
// A mouse collection (input report 1) and a vendor collection (input reports 2 and 4,
// output report 2, feature report 3): several report IDs over two top-level collections.
inline const Bytes kMulti = Hex(
    "05 01 09 02 A1 01 85 01 09 01 A1 00 05 09 19 01 29 03 15 00 25 01 95 03 75 01 "
    "81 02 95 01 75 05 81 03 05 01 09 30 09 31 15 81 25 7F 75 08 95 02 81 06 C0 C0 "
    "06 00 FF 09 02 A1 01 85 02 15 00 26 FF 00 75 08 95 07 09 01 81 02 09 01 91 02 "
    "85 04 95 02 09 03 81 02 85 03 95 03 09 02 B1 02 C0");

}  // namespace vmtest
