// The fabricated sysfs and /dev tree.
#include "fake_sysfs.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace linuxtest {
namespace fs = std::filesystem;
namespace {

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::string Hex4(unsigned v) {
  char text[16];
  std::snprintf(text, sizeof text, "%04X", v);
  return text;
}

}  // namespace

Bytes Vendor64Descriptor() {
  return Hex("06 00 FF 09 01 A1 01 15 00 26 FF 00 75 08 95 40 09 01 81 02 09 01 91 02"
             " 09 01 B1 02 C0");
}

Bytes TwoCollectionDescriptor() {
  return Hex(
      "05 01 09 02 A1 01 85 01 09 01 A1 00 05 09 19 01 29 03 15 00 25 01 95 03 75 01"
      " 81 02 95 01 75 05 81 03 05 01 09 30 09 31 15 81 25 7F 75 08 95 02 81 06 C0 C0"
      " 06 00 FF 09 02 A1 01 85 02 15 00 26 FF 00 75 08 95 07 09 01 81 02 09 01 91 02"
      " 85 03 95 03 09 02 B1 02 C0");
}

FakeSysfs::FakeSysfs() {
  std::string tmpl = (fs::temp_directory_path() / "qz-sysfs-XXXXXX").string();
  root_ = ::mkdtemp(tmpl.data()) ? tmpl : std::string();
  roots_.sysfs = root_ + "/sys";
  roots_.dev = root_ + "/dev";
  fs::create_directories(roots_.sysfs + "/class/hidraw");
  fs::create_directories(roots_.sysfs + "/bus/hid/drivers/hid-generic");
  fs::create_directories(roots_.sysfs + "/bus/hid/devices");
  Write(roots_.sysfs + "/bus/hid/drivers/hid-generic/bind", "");
  Write(roots_.sysfs + "/bus/hid/drivers/hid-generic/unbind", "");
  Write(roots_.sysfs + "/bus/hid/drivers_probe", "");
  fs::create_directories(roots_.dev);
}

FakeSysfs::~FakeSysfs() {
  for (auto& [n, fd] : device_ends_) ::close(fd);
  std::error_code ec;
  if (!root_.empty()) fs::remove_all(root_, ec);
}

std::string FakeSysfs::Read(const std::string& path) const {
  std::ifstream in(roots_.sysfs + "/" + path);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string FakeSysfs::HidDir(unsigned number) const {
  return fs::canonical(roots_.sysfs + "/class/hidraw/hidraw" + std::to_string(number) + "/device")
      .string();
}

void FakeSysfs::Add(unsigned number, Bytes descriptor) {
  FakeNode node;
  node.number = number;
  node.descriptor = std::move(descriptor);
  Add(node);
}

void FakeSysfs::Add(const FakeNode& n) {
  const std::string hid_name =
      Hex4(n.bus) + ":" + Hex4(n.vendor) + ":" + Hex4(n.product) + "." + Hex4(n.number + 1);
  fs::path parent = fs::path(roots_.sysfs) / "devices/virtual/misc/uhid";
  if (n.usb) {
    const fs::path usb = fs::path(roots_.sysfs) / "devices/pci0000:00/0000:00:04.0/usb1" /
                         ("1-" + std::to_string(n.number + 1));
    Write(usb / "idVendor", Hex4(n.vendor) + "\n");
    Write(usb / "manufacturer", n.usb->manufacturer + "\n");
    Write(usb / "product", n.usb->product + "\n");
    if (n.usb->serial) Write(usb / "serial", *n.usb->serial + "\n");
    Write(usb / "bcdDevice", Hex4(n.usb->bcd_device) + "\n");
    Write(usb / "authorized", "1\n");
    // A device descriptor: iManufacturer 1, iProduct 2, iSerialNumber 3.
    Write(usb / "descriptors", std::string("\x12\x01\x00\x02\x00\x00\x00\x40\x09\x12\x03\x00"
                                           "\x01\x02\x01\x02\x03\x01", 18));
    parent = usb / ("1-" + std::to_string(n.number + 1) + ":1.0");
    Write(parent / "bInterfaceNumber", "00\n");
  }
  const fs::path hid = parent / hid_name;
  std::string uevent = "DRIVER=" + n.driver + "\nHID_ID=" + Hex4(n.bus) + ":0000" + Hex4(n.vendor) +
                       ":0000" + Hex4(n.product) + "\nHID_NAME=" + n.name + "\nHID_PHYS=usb-0000:00:04.0-1/input0\nHID_UNIQ=" +
                       n.uniq + "\nMODALIAS=hid:b0003g0001v00001209p00000003\n";
  Write(hid / "uevent", uevent);
  // The kernel gives an unbound device's descriptor as empty.
  Write(hid / "report_descriptor",
        n.bound ? std::string(n.descriptor.begin(), n.descriptor.end()) : std::string());
  if (!n.driver.empty())
    fs::create_directory_symlink(fs::path(roots_.sysfs) / "bus/hid/drivers" / n.driver,
                                 hid / "driver");
  fs::create_directory_symlink(hid, fs::path(roots_.sysfs) / "bus/hid/devices" / hid_name);
  if (!n.bound) return;
  const std::string node = "hidraw" + std::to_string(n.number);
  const fs::path class_dir = hid / "hidraw" / node;
  fs::create_directories(class_dir);
  fs::create_directory_symlink(hid, class_dir / "device");
  fs::create_directory_symlink(class_dir, fs::path(roots_.sysfs) / "class/hidraw" / node);
  const std::string dev = roots_.dev + "/" + node;
  ::mkfifo(dev.c_str(), 0600);
  device_ends_.emplace_back(n.number, ::open(dev.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
}

int FakeSysfs::DeviceEnd(unsigned number) {
  for (auto& [n, fd] : device_ends_)
    if (n == number) return fd;
  return -1;
}

void FakeSysfs::Send(unsigned number, const Bytes& report) {
  ASSERT_EQ(::write(DeviceEnd(number), report.data(), report.size()),
            static_cast<ssize_t>(report.size()));
}

bool FakeSysfs::WaitDrained(unsigned number) {
  for (int i = 0; i < 500; ++i) {
    int pending = 0;
    if (::ioctl(DeviceEnd(number), FIONREAD, &pending) == 0 && pending == 0) return true;
    ::usleep(10000);
  }
  return false;
}

Bytes FakeSysfs::Receive(unsigned number, std::size_t length) {
  Bytes data(length);
  pollfd p{DeviceEnd(number), POLLIN, 0};
  if (::poll(&p, 1, 5000) != 1) return {};
  ssize_t n = ::read(p.fd, data.data(), data.size());
  data.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return data;
}

void LinuxGroundTest::SetUp() { qzplatform::linux_ground::Install(sysfs_.roots()); }

void LinuxGroundTest::TearDown() {
  qzplatform::RevealAll();
  qzplatform::SetGround(nullptr);
}

Handle LinuxGroundTest::Open(const std::string& path, DWORD access, DWORD share) {
  return Handle(CreateFileW(qzplatform::AsWide(qzplatform::FromUtf8(path)), access, share, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
}

DWORD LinuxGroundTest::OpenError(const std::string& path, DWORD access, DWORD share) {
  Handle h = Open(path, access, share);
  return h.valid() ? 0 : GetLastError();
}

}  // namespace linuxtest
