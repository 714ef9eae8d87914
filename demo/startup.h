// The ground the demo runs on, chosen from its command line.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "options.h"
#include "qzclasses/text.h"

namespace qzplatform::sim {
class Machine;
}

namespace demo {

// Whether this build has a ground over the machine's real HID devices.
bool NativeGroundAvailable();

struct InstalledGround {
  std::string name;      // "sim" or "linux"
  qz::Text machine;      // "simulated machine" or "machine": the listing heads "HID devices on the ..."
  qz::Text note;         // why the demo runs on other devices than asked; empty when it does not
  std::shared_ptr<qzplatform::sim::Machine> simMachine;  // set on the sim ground
};

// Chooses and installs the ground: the one asked for (option, then `envPlatform`), else the
// native one when built, else sim. A native ground that finds no HID device at all gives
// way to the built-in simulated devices, and the note says so. Throws std::runtime_error
// for an unknown or unavailable ground or a device file that cannot be used.
InstalledGround InstallGround(const Options& options, const char* envPlatform);

}  // namespace demo
