// The ground qzhid works on: the demo's choice (sim or linux) off Windows, the system's own
// HID devices on Windows.
#include "ground_choice.h"

#include <cstdlib>
#include <stdexcept>

#include "command_line.h"
#ifndef _WIN32
#include <set>

#include "qzclasses/text.h"
#include "qzplatform/sim/recording.h"
#include "qzplatform/sim/sim_ground.h"
#include "startup.h"
#ifdef QZ_HAVE_LINUX_GROUND
#include "qzplatform/linux/linux_ground.h"
#endif
#endif

namespace qzhid {

#ifdef _WIN32

Ground InstallGround(const Invocation& inv) {
  if (!inv.platform.empty() || !inv.simFile.empty())
    throw UsageError("on Windows qzhid works with the system's own HID devices; "
                     "--platform and --sim are not available");
  return {"win32", {}, nullptr};
}

Ground InstallReplayGround(const Invocation&) {
  throw UsageError("replay makes simulated or uhid devices, which Windows does not have");
}

#else

Ground InstallGround(const Invocation& inv) {
  if (!inv.platform.empty() && inv.platform != "sim" && inv.platform != "linux")
    throw UsageError("unknown platform '" + inv.platform + "'; use --platform=sim or linux");
  demo::Options options;
  options.platform = inv.platform;
  options.simFile = inv.simFile;
  try {
    demo::InstalledGround installed = demo::InstallGround(options, std::getenv("QZ_PLATFORM"));
    return {installed.name, qz::TextToUtf8(installed.note), installed.simMachine};
  } catch (const std::runtime_error& e) {
    throw Failure(e.what());
  }
}

Ground InstallReplayGround(const Invocation& inv) {
  if (!inv.simFile.empty())
    throw UsageError("replay makes its own simulated devices; --sim does not go with it");
  namespace sim = qzplatform::sim;
  if (inv.platform == "linux") {
#ifdef QZ_HAVE_LINUX_GROUND
    // The devices are the kernel's; the ground shows them like any other.
    return {"uhid", {}, qzplatform::linux_ground::Install()};
#else
    throw UsageError("replay through /dev/uhid needs the linux platform, which this build lacks");
#endif
  }
  try {
    Ground ground{"sim", {}, nullptr};
    std::vector<sim::DeviceDescription> devices;
    std::set<std::string> names;
    for (const sim::RecordedDevice& recorded : sim::LoadRecording(inv.args[0])) {
      devices.push_back(sim::DeviceFromRecording(recorded));
      // The machine wants unique names; one recorder may hold two devices of one name.
      std::string& name = devices.back().name;
      if (name.empty() || !names.insert(name).second) {
        name += " #" + std::to_string(devices.size());
        names.insert(name);
      }
      ground.replayEvents += recorded.events.size();
      if (!recorded.events.empty())
        ground.replayLength = std::max(ground.replayLength, recorded.events.back().time);
    }
    ground.keep = sim::Install(sim::Machine::Create(std::move(devices)));
    return ground;
  } catch (const sim::LoadError& e) {
    throw Failure(e.what());
  }
}

#endif

}  // namespace qzhid
