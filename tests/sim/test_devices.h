// Device sets the sim ground tests load, in the device file format.
#pragma once

#include <string_view>

namespace simtest {

// 0 "echo": vendor page, no report IDs, 64-byte input and output, 8-byte feature,
//           echoes output reports.
// 1 "ids":  vendor page with report IDs: input 1 (4 bytes) and 2 (8 bytes), output 1
//           (4 bytes), features 3 (2 bytes) and 4 (6 bytes).
// 2 "combo": two top-level collections, a mouse (input ID 1, 4 bytes) and a consumer
//           control (input ID 2, 3 bytes).
// 3 "quiet": a vendor device with only a feature report.
inline constexpr std::string_view kDevices = R"({"devices": [
  {"name": "echo", "vendor_id": "0x1209", "product_id": "0x0003", "version": "0x0201",
   "strings": {"manufacturer": "qzLink Sim", "product": "Sim Echo Device", "serial": "S-1",
               "indexed": {"4": "four"}},
   "report_descriptor": ["06 00 FF 09 01 A1 01 15 00 26 FF 00 75 08",
                         "95 40 09 02 81 02 95 40 09 03 91 02 95 08 09 04 B1 02 C0"],
   "behaviour": {"echo": true},
   "feature_reports": ["00 11 22"]},
  {"name": "ids", "vendor_id": 4617, "product_id": 16,
   "strings": {"product": "Ids"},
   "report_descriptor": ["06 00 FF 09 01 A1 01 15 00 26 FF 00 75 08",
                         "85 01 95 04 09 02 81 02  85 01 95 04 09 03 91 02",
                         "85 02 95 08 09 04 81 02",
                         "85 03 95 02 09 05 B1 02  85 04 95 06 09 06 B1 02 C0"]},
  {"name": "combo", "vendor_id": "0x1209", "product_id": "0x0011",
   "report_descriptor": ["05 01 09 02 A1 01 85 01 09 01 A1 00 05 09 19 01 29 03 15 00 25 01",
                         "95 03 75 01 81 02 95 01 75 05 81 03 05 01 09 30 09 31 15 81 25 7F",
                         "75 08 95 02 81 06 C0 C0",
                         "05 0C 09 01 A1 01 85 02 19 00 2A 3C 02 15 00 26 3C 02",
                         "95 01 75 10 81 00 C0"],
   "enumeration": {"instance_id": "HID\\VID_1209&PID_0011\\7&2B5C2F8A&0&0000"},
   "collections": [{}, {"description": "Volume keys"}]},
  {"name": "quiet", "vendor_id": "0x1209", "product_id": "0x0012",
   "report_descriptor": "06 00 FF 09 01 A1 01 15 00 26 FF 00 75 08 95 04 09 05 B1 02 C0"}
]})";

// The two-collection descriptor of "combo".
inline constexpr std::string_view kComboDescriptor =
    "05 01 09 02 A1 01 85 01 09 01 A1 00 05 09 19 01 29 03 15 00 25 01 95 03 75 01 81 02 95 01 "
    "75 05 81 03 05 01 09 30 09 31 15 81 25 7F 75 08 95 02 81 06 C0 C0 "
    "05 0C 09 01 A1 01 85 02 19 00 2A 3C 02 15 00 26 3C 02 95 01 75 10 81 00 C0";

inline constexpr std::size_t kEcho = 0, kIds = 1, kCombo = 2, kQuiet = 3;
inline constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
inline constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

}  // namespace simtest
