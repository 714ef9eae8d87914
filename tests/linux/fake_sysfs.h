// A fabricated sysfs and /dev tree for the linux ground's tests: hidraw nodes whose
// device files are FIFOs, so reads and writes travel without a kernel.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim_fixture.h"
#include "qzplatform/linux/linux_ground.h"

namespace linuxtest {

using simtest::Bytes;
using simtest::Handle;
using simtest::Hex;

// A vendor-defined collection with 64-byte input, output and feature reports, no IDs.
Bytes Vendor64Descriptor();
// A mouse (input report 1, 4 bytes with the ID) and a vendor collection (input and
// output report 2, 8 bytes; feature report 3, 4 bytes).
Bytes TwoCollectionDescriptor();

struct FakeUsb {
  std::string manufacturer = "Acme";
  std::string product = "Widget";
  std::optional<std::string> serial = "SN-0042";
  std::uint16_t bcd_device = 0x0201;
};

struct FakeNode {
  unsigned number = 0;
  std::uint16_t bus = 3, vendor = 0x1209, product = 0x0003;
  std::string name = "Acme Widget";
  std::string uniq;
  std::string driver = "hid-generic";  // empty: none bound
  Bytes descriptor;
  std::optional<FakeUsb> usb = FakeUsb{};
  bool bound = true;  // false: no driver and no hidraw node, as after an unbind
};

class FakeSysfs {
 public:
  FakeSysfs();
  ~FakeSysfs();
  const qzplatform::linux_ground::Roots& roots() const { return roots_; }
  // Adds a node: sysfs entries as the kernel lays them out, and <dev>/hidrawN as a FIFO.
  void Add(const FakeNode& node);
  // Adds the default USB node as hidraw`number` with `descriptor`.
  void Add(unsigned number, Bytes descriptor);
  // A file below the sysfs root, e.g. what the ground wrote to a control file.
  std::string Read(const std::string& path) const;
  // The HID device directory of a node (the sysfs path the class link leads to).
  std::string HidDir(unsigned number) const;
  // The device end of a node's FIFO: what the "device" sends and receives.
  void Send(unsigned number, const Bytes& report);
  Bytes Receive(unsigned number, std::size_t length);
  // Waits until the ground has read everything sent (a FIFO keeps no report bounds).
  bool WaitDrained(unsigned number);

 private:
  std::string root_;
  qzplatform::linux_ground::Roots roots_;
  std::vector<std::pair<unsigned, int>> device_ends_;
  int DeviceEnd(unsigned number);
};

// Installs a linux ground over a fabricated tree per test.
class LinuxGroundTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  Handle Open(const std::string& path, DWORD access,
              DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE);
  DWORD OpenError(const std::string& path, DWORD access,
                  DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE);
  std::string Dev(const std::string& name) const { return sysfs_.roots().dev + "/" + name; }

  FakeSysfs sysfs_;
};

}  // namespace linuxtest
