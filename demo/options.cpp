// The demo's command line.
#include "options.h"

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
    } else if (a == "--sim" && i + 1 < args.size() && !args[i + 1].empty()) {
      options.simFile = args[++i];
    } else if (a == "--sim") {
      // An empty name would read as "no file" and quietly give the built-in devices.
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

}  // namespace demo
