// The demo's command line.
#include "options.h"

namespace demo {

namespace {

// A whole number of lines from 1 to kMaxMemoLines; 0 for anything else.
std::size_t MemoLines(const std::string& text) {
  if (text.empty() || text.size() > 8) return 0;
  std::size_t lines = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return 0;
    lines = lines * 10 + static_cast<std::size_t>(c - '0');
  }
  return lines <= kMaxMemoLines ? lines : 0;
}

}  // namespace

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
    } else if (a == "--memo-lines") {
      options.memoLines = i + 1 < args.size() ? MemoLines(args[++i]) : 0;
      if (options.memoLines == 0) {
        error = "--memo-lines needs a number of lines from 1 to " + std::to_string(kMaxMemoLines);
        return false;
      }
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
  return "usage: hid-demo [--platform=sim|linux] [--sim FILE] [--memo-lines N] [--list]\n"
         "  (no option)     open the HID Demo window (needs a display)\n"
         "  --list          print the HID devices with their identity and capabilities\n"
         "  --sim FILE      simulate the devices described in FILE (docs/sim-devices.md)\n"
         "  --memo-lines N  the window's memo keeps the newest N lines (default 100000)\n"
         "  --platform=P    the devices to work with: linux (the machine's own, when built)\n"
         "                  or sim (simulated); default: QZ_PLATFORM, else linux when built\n";
}

}  // namespace demo
