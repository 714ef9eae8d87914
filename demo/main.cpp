// The HID Demo program. For now it lists the HID devices of the machine it runs on
// (`--list`); the window comes with the demo's own work.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "device_listing.h"
#include "qzclasses/errors.h"
#include "qzhid/hid.h"
#include "qzplatform/sim/sim_ground.h"

namespace {

struct Options {
  bool list = false;
  std::string platform = "sim";
  std::string sim_file;
};

int Usage(const char* message) {
  if (message) std::fprintf(stderr, "hid-demo: %s\n", message);
  std::fprintf(stderr,
               "usage: hid-demo [--platform=sim] [--sim FILE] --list\n"
               "  --list          print the HID devices with their identity and capabilities\n"
               "  --sim FILE      simulate the devices described in FILE (docs/sim-devices.md)\n"
               "  --platform=P    the ground to run on: sim (default; also QZ_PLATFORM)\n");
  return 2;
}

bool ParseOptions(int argc, char** argv, Options& o, std::string& error) {
  if (const char* env = std::getenv("QZ_PLATFORM")) o.platform = env;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--list") {
      o.list = true;
    } else if (a.rfind("--platform=", 0) == 0) {
      o.platform = a.substr(11);
    } else if (a == "--sim" && i + 1 < argc) {
      o.sim_file = argv[++i];
    } else {
      error = "unknown argument '" + a + "'";
      return false;
    }
  }
  if (o.platform != "sim") {
    error = "the '" + o.platform + "' platform is not available in this build; use --platform=sim";
    return false;
  }
  return true;
}

// Loads every device interface of the machine into a record, as discovery does.
std::vector<std::unique_ptr<qz::TqzHidDevice>> LoadDevices(const qzplatform::sim::Machine& m) {
  qz::TqzHid hid(nullptr);
  std::vector<std::unique_ptr<qz::TqzHidDevice>> devices;
  for (const auto& info : m.Interfaces()) {
    qz::TqzDevice found;
    found.NameSymbolic = info.path;
    found.InstanceId = info.instance_id;
    found.Description = info.description;
    found.Manufacturer = info.manufacturer;
    found.Service = info.service;
    found.Driver = info.driver;
    found.GuidClass = info.class_guid;
    auto device = std::make_unique<qz::TqzHidDevice>(&found);
    if (hid.LoadDeviceInfo(*device, true)) devices.push_back(std::move(device));
  }
  return devices;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, options, error)) return Usage(error.c_str());
  if (!options.list) return Usage("the window is not part of this build yet; use --list");
  try {
    auto machine = options.sim_file.empty() ? qzplatform::sim::Machine::Default()
                                            : qzplatform::sim::Machine::LoadFile(options.sim_file);
    qzplatform::sim::Install(machine);
    auto devices = LoadDevices(*machine);
    std::vector<const qz::TqzHidDevice*> view;
    for (const auto& d : devices) view.push_back(d.get());
    std::fputs(qz::TextToUtf8(demo::ListDevices(u"simulated machine", view)).c_str(), stdout);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "hid-demo: %s\n", e.what());
    return 1;
  }
  return 0;
}
