// Discovery (TqzHid::DeviceListLoad with the devices' strings, as `hid-demo --list` does
// it) on simulated machines of 10 to 1,000 devices and on one device with up to 1,000
// top-level collections. Before each listing a device is unplugged and plugged in again,
// so every listing starts from a changed machine and builds the device tree anew.
// "per_interface" is the time per listed interface, which should stay flat.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "qzplatform/sim/sim_ground.h"
#include "timed_listing.h"

namespace {

using qzplatform::sim::DeviceDescription;
using qzplatform::sim::Machine;

// A vendor-defined top-level collection with 8-byte input and output reports under
// `report_id` (none: 0), or without reports once the report IDs are used up.
std::vector<std::uint8_t> Collection(std::size_t report_id) {
  if (report_id > 255) return {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0xC0};
  std::vector<std::uint8_t> items = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01};
  if (report_id) items.insert(items.end(), {0x85, static_cast<std::uint8_t>(report_id)});
  items.insert(items.end(), {0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x08, 0x09, 0x01,
                             0x81, 0x02, 0x09, 0x02, 0x91, 0x02, 0xC0});
  return items;
}

DeviceDescription Device(std::size_t index, std::size_t collections) {
  DeviceDescription d;
  d.name = "device " + std::to_string(index);
  d.vendor_id = 0x1209;
  d.product_id = static_cast<USHORT>(index);
  d.product = u"Bench device";
  d.manufacturer = u"qzLink Bench";
  d.serial = qzplatform::FromUtf8("SN" + std::to_string(index));
  for (std::size_t c = 0; c < collections; ++c) {
    const std::vector<std::uint8_t> items = Collection(collections > 1 ? c + 1 : 0);
    d.report_descriptor.insert(d.report_descriptor.end(), items.begin(), items.end());
  }
  return d;
}

void List(benchmark::State& state, std::vector<DeviceDescription> devices) {
  auto machine = qzplatform::sim::Install(Machine::Create(std::move(devices)));
  TimeListings(state, machine->Interfaces().size(), [&] {
    machine->Unplug(0);
    machine->Replug(0);
  });
}

void BM_ListDevices(benchmark::State& state) {
  std::vector<DeviceDescription> devices;
  for (std::int64_t i = 0; i < state.range(0); ++i)
    devices.push_back(Device(static_cast<std::size_t>(i), 1));
  List(state, std::move(devices));
}
BENCHMARK(BM_ListDevices)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_ListCollections(benchmark::State& state) {
  List(state, {Device(0, static_cast<std::size_t>(state.range(0)))});
}
BENCHMARK(BM_ListCollections)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
