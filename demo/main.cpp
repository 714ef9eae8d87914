// The HID Demo program: the window, or with --list a text listing of the HID devices.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "device_listing.h"
#include "qt/run_window.h"
#include "qzclasses/errors.h"
#include "startup.h"

namespace {

int Usage(const std::string& message) {
  if (!message.empty()) std::fprintf(stderr, "hid-demo: %s\n", message.c_str());
  std::fputs(demo::UsageText().c_str(), stderr);
  return 2;
}

int NoDisplay() {
  std::fputs(
      "hid-demo: the HID Demo window needs a display, and none was found (DISPLAY is not set).\n"
      "  Run it under a virtual X server:   xvfb-run -a build/bin/hid-demo\n"
      "  (Debian packages xvfb and xauth; scripts/setup installs them)\n"
      "  or list the devices without a window:   build/bin/hid-demo --list\n",
      stderr);
  return 3;
}

}  // namespace

int main(int argc, char** argv) {
  demo::Options options;
  std::string error;
  if (!demo::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    return Usage(error);
  }
  if (options.help) return Usage({});
  if (!options.list && !demoqt::DisplayAvailable()) return NoDisplay();
  try {
    const demo::InstalledGround ground = demo::InstallGround(options, std::getenv("QZ_PLATFORM"));
    if (!ground.note.empty()) std::fprintf(stderr, "hid-demo: %s\n", qz::TextToUtf8(ground.note).c_str());
    if (options.list) return demo::PrintDiscoveredDevices(ground.machine);
    return demoqt::RunHidDemoWindow(argc, argv, ground.note, options.memoLines);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "hid-demo: %s\n", e.what());
    return 1;
  }
}
