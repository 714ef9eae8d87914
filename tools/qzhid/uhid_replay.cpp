// `replay` on Linux: the recording's devices made real through /dev/uhid, replaying the
// recorded input reports with their timing.
#include "uhid_replay.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "interrupts.h"
#include "qzplatform/linux/uhid_device.h"

namespace qzhid {
namespace {

using Clock = std::chrono::steady_clock;
using qzplatform::linux_ground::UhidDevice;

struct Scheduled {
  std::chrono::microseconds time;
  std::size_t device;
  const std::vector<std::uint8_t>* bytes;
};

// Every device's events in the order of their time, the file's order among equals.
std::vector<Scheduled> Schedule(const std::vector<qzplatform::sim::RecordedDevice>& recorded) {
  std::vector<std::pair<std::size_t, Scheduled>> lines;
  for (std::size_t d = 0; d < recorded.size(); ++d)
    for (const auto& e : recorded[d].events) lines.push_back({e.line, {e.time, d, &e.bytes}});
  std::sort(lines.begin(), lines.end(), [](const auto& a, const auto& b) {
    return a.second.time != b.second.time ? a.second.time < b.second.time : a.first < b.first;
  });
  std::vector<Scheduled> events;
  for (const auto& line : lines) events.push_back(line.second);
  return events;
}

// Sleeps until `when` in short steps; false when Ctrl-C came first.
bool WaitUntil(Clock::time_point when) {
  while (Clock::now() < when) {
    if (Interrupted()) return false;
    std::this_thread::sleep_until(std::min(when, Clock::now() + std::chrono::milliseconds(20)));
  }
  return !Interrupted();
}

}  // namespace

void ReplayThroughUhid(Session& s, const std::vector<qzplatform::sim::RecordedDevice>& recorded) {
  InterruptCatcher interrupts;
  std::vector<std::unique_ptr<UhidDevice>> devices;  // destroyed, and so removed, on any exit
  for (const auto& r : recorded) {
    const std::string name = r.name.empty() ? "qzhid replay" : r.name;
    devices.push_back(std::make_unique<UhidDevice>(name, r.vendor_id, r.product_id, r.descriptor,
                                                   r.bus == 0 ? 3 : r.bus));
    if (!devices.back()->ok())
      throw Failure("cannot make the virtual device '" + name + "': " + devices.back()->error());
  }
  s.err << "qzhid: " << devices.size()
        << " virtual device(s) made through /dev/uhid; the reports play once a program opens "
           "one (Ctrl-C stops)\n";
  const auto opened = [&] {
    return std::any_of(devices.begin(), devices.end(), [](const auto& d) { return d->opened(); });
  };
  while (!opened() && !Interrupted()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::size_t sent = 0;
  const Clock::time_point start = Clock::now();
  for (const Scheduled& e : Schedule(recorded)) {
    if (!WaitUntil(start + e.time)) break;
    if (!devices[e.device]->Input(*e.bytes)) throw Failure("the kernel refused an input report");
    ++sent;
  }
  // Readers get a moment for the last reports before the devices go.
  WaitUntil(Clock::now() + std::chrono::seconds(1));
  if (Interrupted()) s.err << "qzhid: stopped: interrupted (Ctrl-C); the devices are removed\n";
  else s.err << "qzhid: replayed " << sent << " input reports; the devices are removed\n";
}

}  // namespace qzhid
