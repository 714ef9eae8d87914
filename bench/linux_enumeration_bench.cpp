// Discovery on the linux ground (TqzHid::DeviceListLoad with the devices' strings, as
// `hid-demo --list` does it) over fabricated sysfs trees of 5, 20 and 50 devices, every
// fourth with two top-level collections. "Changed": before each listing one device's
// hidraw entry goes and comes back, as an unbind and a bind make it, and the kernel's
// count of device events moves, so every listing reads the tree anew; "Warm": the tree
// stays as it is. "per_interface" is the time per listed interface, which should stay
// flat from 5 to 50 devices.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "fake_sysfs.h"
#include "timed_listing.h"

namespace {
namespace fs = std::filesystem;

// The kernel's count of device events, which every change of the tree moves.
void CountEvent(const linuxtest::FakeSysfs& sysfs) {
  static unsigned events = 0;
  std::ofstream(sysfs.roots().sysfs + "/kernel/uevent_seqnum") << ++events << "\n";
}

// Installs a linux ground over a fabricated tree of `count` devices; the number of
// interfaces they have.
std::size_t Populate(linuxtest::FakeSysfs& sysfs, std::size_t count) {
  fs::create_directories(sysfs.roots().sysfs + "/kernel");
  CountEvent(sysfs);
  std::size_t interfaces = 0;
  for (std::size_t i = 0; i < count; ++i) {
    linuxtest::FakeNode node;
    node.number = static_cast<unsigned>(i);
    node.product = static_cast<std::uint16_t>(0x100 + i);
    const bool two = i % 4 == 3;
    node.descriptor = two ? linuxtest::TwoCollectionDescriptor() : linuxtest::Vendor64Descriptor();
    interfaces += two ? 2 : 1;
    sysfs.Add(node);
  }
  qzplatform::linux_ground::Install(sysfs.roots());
  return interfaces;
}

// Gives hidraw0's class entry a new inode, as its driver's unbind and bind do. The new
// entry is made before the old one goes, so the file system cannot reuse its inode.
void Rebind(const linuxtest::FakeSysfs& sysfs) {
  const fs::path link = sysfs.roots().sysfs + "/class/hidraw/hidraw0";
  const fs::path fresh = link.string() + ".new";
  fs::create_directory_symlink(fs::read_symlink(link), fresh);
  fs::rename(fresh, link);
  CountEvent(sysfs);
}

void List(benchmark::State& state, bool changed) {
  linuxtest::FakeSysfs sysfs;
  const std::size_t interfaces = Populate(sysfs, static_cast<std::size_t>(state.range(0)));
  std::function<void()> change;
  if (changed) change = [&] { Rebind(sysfs); };
  TimeListings(state, interfaces, change);
}

void BM_ListChanged(benchmark::State& state) { List(state, true); }
BENCHMARK(BM_ListChanged)->Arg(5)->Arg(20)->Arg(50)->Unit(benchmark::kMillisecond);

void BM_ListWarm(benchmark::State& state) { List(state, false); }
BENCHMARK(BM_ListWarm)->Arg(5)->Arg(20)->Arg(50)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
