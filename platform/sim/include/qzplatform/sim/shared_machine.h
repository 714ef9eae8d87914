// Sharing the simulated machine with a program it starts (the device helper). The
// starting program serves its machine's SetupAPI property-change calls over a Unix
// socket in a folder only its user can enter, for as long as the started program runs;
// the socket's path reaches the program in its environment.
#pragma once

#ifndef _WIN32

#include <chrono>

namespace qzplatform::sim {

// The environment variable that names the starting program's machine.
inline constexpr const char* kSharedMachineVariable = "QZ_SIM_MACHINE";

// In a program started by one on the sim ground: makes the starter's machine this
// program's ground, as far as the device helper needs it ("SetupAPI.dll" with
// SetupDiCreateDeviceInfoList, SetupDiOpenDeviceInfoW, SetupDiSetClassInstallParamsW,
// SetupDiCallClassInstaller and SetupDiDestroyDeviceInfoList, carried out on the
// starter's machine as by a 64-bit program). False, with nothing installed, when the
// environment names no machine or it cannot be reached.
bool ConnectToSharedMachine();

// The time-outs on both sides of the socket: how long the serving machine keeps a
// connected program that sends nothing, and how long a sharing program waits for a
// reply (or to connect) before its call fails with ERROR_TIMEOUT and the connection is
// given up. Set in the process that serves or calls (tests shorten them).
struct SharedMachineLimits {
  std::chrono::milliseconds idle{30000};
  std::chrono::milliseconds reply{10000};
};
void SetSharedMachineLimits(const SharedMachineLimits& limits);
SharedMachineLimits GetSharedMachineLimits();

}  // namespace qzplatform::sim

#endif  // !_WIN32
