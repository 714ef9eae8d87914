// Recordings of HID devices in the text format of the Linux hid-tools recorder: the
// devices' identity and report descriptors, then their input reports with the time
// each arrived. A recording read here becomes a simulated device replaying them.
#pragma once

#ifndef _WIN32

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "qzplatform/sim/device_description.h"

namespace qzplatform::sim {

struct RecordedEvent {
  std::chrono::microseconds time{0};  // since the recording started
  std::vector<std::uint8_t> bytes;    // as hidraw reads it: the report ID only when numbered
  std::size_t line = 0;
};

struct RecordedDevice {
  std::string name;           // N:
  std::string physical_path;  // P:
  unsigned bus = 0;           // I: bus vendor product
  std::uint16_t vendor_id = 0, product_id = 0;
  std::vector<std::uint8_t> descriptor;  // R:
  std::vector<RecordedEvent> events;     // E:, in the order of the file
};

// Reads a recording: `#` comments, `D: n` choosing the device later lines are about,
// then N:, P:, I:, R: and E: lines. Throws LoadError "<source>:<line>: <what>" for a
// malformed or truncated line, a descriptor that does not parse, an event longer than
// the descriptor's input reports or before the device's descriptor, and a time stamp
// earlier than the one before it; and for a recording without any device.
std::vector<RecordedDevice> ParseRecording(std::string_view text, const std::string& source);
// Reads the file (at most kMaxDeviceFileBytes) and parses it.
std::vector<RecordedDevice> LoadRecording(const std::filesystem::path& path);

// The simulated device that replays it: identity and descriptor from the recording, the
// name as product string, the events as an input script keeping the recorded timing.
DeviceDescription DeviceFromRecording(const RecordedDevice& recorded);

}  // namespace qzplatform::sim

#endif  // !_WIN32
