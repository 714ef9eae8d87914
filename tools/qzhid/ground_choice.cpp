// The ground qzhid works on: the demo's choice (sim or linux) off Windows, the system's own
// HID devices on Windows.
#include "ground_choice.h"

#include <cstdlib>
#include <stdexcept>

#include "command_line.h"
#ifndef _WIN32
#include "qzclasses/text.h"
#include "startup.h"
#endif

namespace qzhid {

#ifdef _WIN32

Ground InstallGround(const Invocation& inv) {
  if (!inv.platform.empty() || !inv.simFile.empty())
    throw UsageError("on Windows qzhid works with the system's own HID devices; "
                     "--platform and --sim are not available");
  return {"win32", {}, nullptr};
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

#endif

}  // namespace qzhid
