// The ground the demo runs on, chosen from its command line.
#include "startup.h"

#include <stdexcept>

#include "qzplatform/sim/sim_ground.h"
#ifdef QZ_HAVE_LINUX_GROUND
#include "qzplatform/linux/linux_ground.h"
#endif

namespace demo {

bool NativeGroundAvailable() {
#ifdef QZ_HAVE_LINUX_GROUND
  return true;
#else
  return false;
#endif
}

namespace {

InstalledGround InstallSim(const std::string& file) {
  InstalledGround ground;
  ground.name = "sim";
  ground.machine = u"simulated machine";
  ground.simMachine = qzplatform::sim::Install(
      file.empty() ? qzplatform::sim::Machine::Default() : qzplatform::sim::Machine::LoadFile(file));
  return ground;
}

}  // namespace

InstalledGround InstallGround(const Options& options, const char* envPlatform) {
  std::string platform = options.platform;
  if (platform.empty() && !options.simFile.empty()) platform = "sim";
  if (platform.empty() && envPlatform && *envPlatform) platform = envPlatform;
  if (platform.empty()) platform = NativeGroundAvailable() ? "linux" : "sim";

  if (platform == "sim") return InstallSim(options.simFile);
  if (platform != "linux") {
    throw std::runtime_error("unknown platform '" + platform + "'; use --platform=sim or linux");
  }
#ifdef QZ_HAVE_LINUX_GROUND
  auto linux_ground = qzplatform::linux_ground::Install();
  if (!qzplatform::linux_ground::ListInterfaces(linux_ground->roots()).empty()) {
    InstalledGround ground;
    ground.name = "linux";
    ground.machine = u"machine";
    return ground;
  }
  InstalledGround ground = InstallSim({});
  ground.note = u"No HID device found on this machine: showing the built-in simulated devices";
  return ground;
#else
  throw std::runtime_error(
      "the 'linux' platform is not available in this build; use --platform=sim");
#endif
}

}  // namespace demo
