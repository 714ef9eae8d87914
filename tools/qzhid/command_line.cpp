// qzhid's command line: each subcommand names its arguments, flags and valued options.
#include "command_line.h"

#include <algorithm>
#include <initializer_list>

namespace qzhid {
namespace {

struct CommandRule {
  const char* name;
  std::size_t minArgs;
  std::size_t maxArgs;
  std::initializer_list<const char*> flags;
  std::initializer_list<const char*> valued;
};

const CommandRule kCommands[] = {
    {"help", 0, 1, {}, {}},
    {"list", 0, 0, {}, {"--vid", "--pid", "--usage-page", "--usage"}},
    {"info", 1, 1, {}, {}},
    {"descriptor", 1, 1, {"--items"}, {}},
    {"read", 1, 1, {"--raw"}, {"--count", "--timeout"}},
    {"write", 2, 2, {"--pad", "--set-output"}, {}},
    {"get-feature", 2, 2, {}, {}},
    {"set-feature", 2, 2, {}, {}},
    {"get-input", 2, 2, {}, {}},
    {"record", 2, 2, {}, {"--count", "--timeout"}},
    {"replay", 1, 1, {}, {}},
};

const CommandRule* FindCommand(const std::string& name) {
  for (const CommandRule& rule : kCommands) {
    if (name == rule.name) return &rule;
  }
  return nullptr;
}

bool Contains(std::initializer_list<const char*> names, const std::string& name) {
  return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == n; });
}

// Takes the global options out of `args`, leaving the subcommand and its own words.
std::vector<std::string> TakeGlobalOptions(const std::vector<std::string>& args,
                                           Invocation& inv) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.rfind("--platform=", 0) == 0 && a.size() > 11) {
      inv.platform = a.substr(11);
    } else if (a == "--sim") {
      if (i + 1 >= args.size() || args[i + 1].empty())
        throw UsageError("--sim needs a device description file");
      inv.simFile = args[++i];
    } else if (a == "--json") {
      inv.json = true;
    } else if (a == "--help" || a == "-h") {
      inv.help = true;
    } else {
      rest.push_back(a);
    }
  }
  if (!inv.simFile.empty() && !inv.platform.empty() && inv.platform != "sim")
    throw UsageError("--sim FILE describes simulated devices; it needs --platform=sim");
  return rest;
}

}  // namespace

const std::string* Invocation::Value(const std::string& option) const {
  const auto it = values.find(option);
  return it == values.end() ? nullptr : &it->second;
}

Invocation ParseCommandLine(const std::vector<std::string>& args) {
  Invocation inv;
  const std::vector<std::string> words = TakeGlobalOptions(args, inv);
  if (words.empty()) return inv;
  inv.command = words[0];
  const CommandRule* rule = FindCommand(inv.command);
  if (!rule) throw UsageError("unknown subcommand '" + inv.command + "'");
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string& w = words[i];
    if (Contains(rule->flags, w)) {
      inv.flags.insert(w);
    } else if (Contains(rule->valued, w)) {
      if (i + 1 >= words.size()) throw UsageError(w + " needs a value");
      inv.values[w] = words[++i];
    } else if (w.size() > 1 && w[0] == '-' && w[1] == '-') {
      throw UsageError("unknown option '" + w + "' for '" + inv.command + "'");
    } else {
      inv.args.push_back(w);
    }
  }
  if (inv.args.size() < rule->minArgs || inv.args.size() > rule->maxArgs)
    throw UsageError("wrong number of arguments for '" + inv.command + "'");
  return inv;
}

std::string UsageText() {
  return "usage: qzhid [--platform=sim|linux] [--sim FILE] [--json] SUBCOMMAND [ARGS]\n"
         "  list [--vid V] [--pid P] [--usage-page U] [--usage U]\n"
         "                             the HID interfaces, one a line (filters in hex)\n"
         "  info DEVICE                identity, strings, caps and capability tables\n"
         "  descriptor DEVICE [--items]\n"
         "                             the report descriptor as hex, or item by item\n"
         "  read DEVICE [--count N] [--timeout S] [--raw]\n"
         "                             input reports with their decoded fields (--raw:\n"
         "                             bytes only) until N arrived, S seconds passed,\n"
         "                             Ctrl-C, or the device goes away\n"
         "  write DEVICE BYTES [--pad] [--set-output]\n"
         "                             an output report (--pad: zeros up to its length;\n"
         "                             --set-output: through HidD_SetOutputReport)\n"
         "  get-feature DEVICE ID      a feature report\n"
         "  set-feature DEVICE BYTES   a feature report, zeros up to its length\n"
         "  get-input DEVICE ID        an input report, asked for\n"
         "  record DEVICE FILE [--count N] [--timeout S]\n"
         "                             input reports to FILE in the hid-tools recorder's\n"
         "                             format, until N arrived, S seconds passed or Ctrl-C\n"
         "  replay FILE                the recording's devices become simulated devices\n"
         "                             whose input reports follow the recorded timing;\n"
         "                             with --platform=linux, devices made through\n"
         "                             /dev/uhid that every program sees\n"
         "  help                       this text\n"
         "DEVICE: an index from 'list', VID:PID[:USAGEPAGE:USAGE] in hex, or a device path.\n"
         "BYTES: hex, with or without blanks, commas or 0x; the first byte is the report\n"
         "  ID (0 for a device without report IDs). ID: a number, 0x for hex.\n"
         "--sim FILE simulates the devices described in FILE (docs/sim-devices.md).\n"
         "Exit status: 0 done, 1 the operation failed, 2 bad usage.\n";
}

}  // namespace qzhid
