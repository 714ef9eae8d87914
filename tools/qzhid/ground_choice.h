// The ground qzhid works on: the demo's choice (sim or linux) off Windows, the system's own
// HID devices on Windows.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace qzhid {

struct Invocation;

// What stays installed while the subcommand runs; `note` (may be empty) tells the user
// why the devices are other than asked for.
struct Ground {
  std::string name;
  std::string note;
  std::shared_ptr<void> keep;  // the simulated machine, when there is one
  // A replayed recording: how many input reports it holds, and the time of the last.
  std::size_t replayEvents = 0;
  std::chrono::microseconds replayLength{0};
};

// Throws UsageError for a ground this build does not have, Failure for a device
// description file that cannot be used.
Ground InstallGround(const Invocation& inv);

// The simulated machine of the recording inv.args[0]; with --platform=linux the linux
// ground, the devices being made through /dev/uhid (ground name "uhid"). Throws Failure,
// with the line, for a recording that cannot be used; UsageError where replay is not
// available.
Ground InstallReplayGround(const Invocation& inv);

}  // namespace qzhid
