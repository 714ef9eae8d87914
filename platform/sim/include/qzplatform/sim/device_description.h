// What a simulated HID device is made of: identity, strings, report descriptor,
// enumeration texts and behaviour, as read from a device file (docs/sim-devices.md).
#pragma once

#ifndef _WIN32

#include <chrono>
#include <filesystem>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "qzplatform/hidshared/collection_kind.h"
#include "qzplatform/win32.h"

namespace qzplatform::sim {

// A device file or device description that cannot be used; the message names the
// device index and the field.
class LoadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Access modes a device refuses to open (system keyboards and mice refuse both).
struct AccessModes {
  bool read = false;
  bool write = false;
  bool operator==(const AccessModes&) const = default;
};

// Behaviour that tests and users switch; every flag can also change at run time.
struct Behaviour {
  AccessModes refuse;      // opens asking for these get ERROR_ACCESS_DENIED
  bool exclusive = false;  // in exclusive use elsewhere: every open gets ERROR_SHARING_VIOLATION
  bool no_preparsed_data = false;  // HidD_GetPreparsedData fails
  bool fail_caps = false;          // preparsed data handed out now fails every HidP_ query
  bool unplugged = false;          // absent: opens get ERROR_FILE_NOT_FOUND
  bool echo = false;               // output reports come back as input reports
  // Test hook, not in device files: writes through a handle (WriteFile) stay pending,
  // unseen by the device, until the handle is closed or its transfers are cancelled.
  bool hold_writes = false;
  bool operator==(const Behaviour&) const = default;
};

// Texts the device-installation interface reports for a device node.
struct Enumeration {
  std::u16string instance_id;   // empty: derived from VID, PID and the device's index
  GUID class_guid{};            // setup class; the HID class when all zero
  std::u16string description;   // device description
  std::u16string manufacturer;  // manufacturer text of the driver package
  std::u16string service;
  std::u16string driver;  // driver key; empty: derived from the class GUID and index
  std::u16string port_name;  // "PortName" of each collection's hardware key; empty: none
};

// Per top-level collection overrides: each collection is a device node of its own.
struct CollectionDescription {
  std::optional<std::u16string> description, manufacturer, service, driver;
  std::optional<GUID> class_guid;
  AccessModes refuse;  // added to the device's refused modes for this collection
};

// Input reports the device sends by itself, each with its report ID byte first.
struct InputScript {
  std::vector<std::vector<std::uint8_t>> reports;
  std::chrono::milliseconds period{100};
  bool repeat = false;
  // Empty, or one per report: the wait before it (the first from the script's start),
  // in place of `period`. A replayed recording keeps its timing this way.
  std::vector<std::chrono::microseconds> delays;
  std::chrono::microseconds DelayBefore(std::size_t report) const {
    return delays.empty() ? std::chrono::microseconds(period) : delays[report];
  }
};

struct DeviceDescription {
  std::string name;  // label used in messages and by Machine::FindDevice
  USHORT vendor_id = 0;
  USHORT product_id = 0;
  USHORT version = 0;
  // USB strings; absent means the device has none (the getter fails).
  std::optional<std::u16string> product, manufacturer, serial;
  std::map<ULONG, std::u16string> indexed_strings;
  std::vector<std::uint8_t> report_descriptor;
  Enumeration enumeration;
  std::vector<CollectionDescription> collections;  // by collection index; may be shorter
  Behaviour behaviour;
  InputScript input_script;
  // Initial feature reports, report ID byte first; others start as zeros.
  std::vector<std::vector<std::uint8_t>> feature_reports;
};

// USB string descriptors hold at most this many UTF-16 code units.
inline constexpr std::size_t kMaxStringLength = 126;

// Parses a device file's JSON text. Throws LoadError naming the device and field. A
// device may be a recording ("recording": file name, relative to `folder`).
std::vector<DeviceDescription> ParseDeviceList(std::string_view json_text,
                                               const std::filesystem::path& folder = {});

// The built-in device set, in the same format.
std::string_view DefaultDeviceListJson();

// The HID device interface class and the HID device setup class.
inline constexpr GUID kHidInterfaceGuid = hidshared::kHidInterfaceGuid;
inline constexpr GUID kHidClassGuid = hidshared::kHidClassGuid;

// Reads "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" (braces optional, any case).
std::optional<GUID> ParseGuid(std::string_view text);

}  // namespace qzplatform::sim

#endif  // !_WIN32
