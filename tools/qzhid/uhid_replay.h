// `replay` on Linux: the recording's devices made real through /dev/uhid, for every
// program on the machine, replaying the recorded input reports with their timing.
#pragma once

#include <vector>

#include "qzplatform/sim/recording.h"
#include "session.h"

namespace qzhid {

// Makes the devices (all or none), waits until a program opens one, plays every event
// at its recorded time, and removes the devices at the end or on Ctrl-C. Throws Failure
// when /dev/uhid refuses a device or an event.
void ReplayThroughUhid(Session& s, const std::vector<qzplatform::sim::RecordedDevice>& recorded);

}  // namespace qzhid
