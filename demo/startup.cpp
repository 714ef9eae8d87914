// The demo's command line and the ground it runs on.
#include "startup.h"

#include <stdexcept>

#include "qzplatform/sim/sim_ground.h"
#ifdef QZ_HAVE_LINUX_GROUND
#include "qzplatform/linux/linux_ground.h"
#endif

namespace demo {

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--list") {
      options.list = true;
    } else if (a == "--help" || a == "-h") {
      options.help = true;
    } else if (a.rfind("--platform=", 0) == 0 && a.size() > 11) {
      options.platform = a.substr(11);
    } else if (a == "--sim" && i + 1 < args.size()) {
      options.simFile = args[++i];
    } else if (a == "--sim") {
      error = "--sim needs a device description file";
      return false;
    } else {
      error = "unknown argument '" + a + "'";
      return false;
    }
  }
  if (!options.simFile.empty() && !options.platform.empty() && options.platform != "sim") {
    error = "--sim FILE describes simulated devices; it needs --platform=sim";
    return false;
  }
  return true;
}

std::string UsageText() {
  return "usage: hid-demo [--platform=sim|linux] [--sim FILE] [--list]\n"
         "  (no option)     open the HID Demo window (needs a display)\n"
         "  --list          print the HID devices with their identity and capabilities\n"
         "  --sim FILE      simulate the devices described in FILE (docs/sim-devices.md)\n"
         "  --platform=P    the devices to work with: linux (the machine's own, when built)\n"
         "                  or sim (simulated); default: QZ_PLATFORM, else linux when built\n";
}

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
    ground.machine = u"this machine";
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
