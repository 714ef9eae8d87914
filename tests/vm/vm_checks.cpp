// The linux ground proven on a real kernel: run as the only program of a small virtual
// machine with qemu's USB keyboard, mouse and tablet, it makes uhid devices and checks
// enumeration, caps, input through the HID component's monitoring loop, output and
// feature reports, unplugging while open, disable/enable/restart/reset through the
// library's state routines, access without rights, the udev monitor, and a recording
// replayed through uhid by qzhid. Prints
// one line per check and a summary line.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <linux/hidraw.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "hidparse/hidparse.h"
#include "qzclasses/errors.h"
#include "qzclasses/console_dispatcher.h"
#include "qzhid/hid.h"
#include "qzhidw32/qzhidw32.h"
#include "qzwin32di/device_state.h"
#include "qzplatform/hidshared/collection_kind.h"
#include "qzplatform/linux/device_monitor.h"
#include "qzplatform/linux/linux_ground.h"
#include "device_class.h"
#include "qzplatform/linux/uhid_device.h"
#include "vm_descriptors.h"

namespace vmtest {
namespace {

using namespace std::chrono_literals;
namespace lg = qzplatform::linux_ground;

int passed = 0, failed = 0;

void Check(bool ok, const std::string& name, const std::string& detail = "") {
  (ok ? passed : failed)++;
  std::printf("%s %s%s%s\n", ok ? "ok  " : "FAIL", name.c_str(), detail.empty() ? "" : ": ",
              detail.c_str());
  std::fflush(stdout);
}

template <typename F>
bool WaitUntil(F done, std::chrono::milliseconds timeout = 5s) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

std::string Utf8(const std::u16string& t) { return qzplatform::ToUtf8(t); }

std::string Dump(const std::vector<Bytes>& blocks) {
  std::string text;
  for (const Bytes& b : blocks) {
    text += "[";
    for (std::uint8_t x : b) {
      char h[4];
      std::snprintf(h, sizeof h, "%02X", x);
      text += h;
    }
    text += "]";
  }
  return text;
}

class Receiver {
 public:
  void OnReceived(qz::TqzBaseIO*, const void* buffer, std::uint32_t size) {
    std::lock_guard lock(mutex_);
    auto* b = static_cast<const std::uint8_t*>(buffer);
    blocks_.emplace_back(b, b + size);
  }
  std::vector<Bytes> Blocks() {
    std::lock_guard lock(mutex_);
    return blocks_;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    blocks_.clear();
  }

 private:
  std::mutex mutex_;
  std::vector<Bytes> blocks_;
};

// The record whose NameSymbolic ends in `suffix` (e.g. "&col02"), of the device with
// that vendor and product; -1 when there is none.
int FindRecord(qz::TqzHid& hid, std::uint16_t vid, std::uint16_t pid, const std::string& suffix) {
  for (int i = 0; i < hid.GetDeviceCount(); ++i) {
    auto* d = static_cast<qz::TqzHidDevice*>(hid.GetDevice(i));
    const std::string path = Utf8(d->NameSymbolic);
    if (d->VendorId() == vid && d->ProductId() == pid &&
        (suffix.empty() ? path.find('&') == std::string::npos
                        : path.size() >= suffix.size() &&
                              path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0))
      return i;
  }
  return -1;
}

bool SameCaps(const HIDP_CAPS& a, const HIDP_CAPS& b) {
  return a.UsagePage == b.UsagePage && a.Usage == b.Usage &&
         a.InputReportByteLength == b.InputReportByteLength &&
         a.OutputReportByteLength == b.OutputReportByteLength &&
         a.FeatureReportByteLength == b.FeatureReportByteLength &&
         a.NumberInputButtonCaps == b.NumberInputButtonCaps &&
         a.NumberInputValueCaps == b.NumberInputValueCaps &&
         a.NumberOutputButtonCaps == b.NumberOutputButtonCaps &&
         a.NumberOutputValueCaps == b.NumberOutputValueCaps &&
         a.NumberFeatureButtonCaps == b.NumberFeatureButtonCaps &&
         a.NumberFeatureValueCaps == b.NumberFeatureValueCaps &&
         a.NumberLinkCollectionNodes == b.NumberLinkCollectionNodes;
}

// The descriptor the kernel holds for a node, by ioctl (not through sysfs).
Bytes KernelDescriptor(const std::string& node) {
  int fd = ::open(node.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  int size = 0;
  hidraw_report_descriptor d{};
  Bytes out;
  if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0) {
    d.size = static_cast<__u32>(size);
    if (::ioctl(fd, HIDIOCGRDESC, &d) == 0) out.assign(d.value, d.value + d.size);
  }
  ::close(fd);
  return out;
}

std::string NodeOf(const std::u16string& path) {
  std::string p = Utf8(path);
  return p.substr(0, p.find('&'));
}

bool HasInterface(const std::string& node) {
  for (const auto& i : lg::ListInterfaces({})) if (NodeOf(i.path) == node) return true;
  return false;
}

// Changes the monitor reported within `timeout`, appended to `seen`.
void Collect(lg::DeviceMonitor& monitor, std::vector<lg::DeviceChange>& seen,
             std::chrono::milliseconds timeout = 2s) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    pollfd p{monitor.Descriptor(), POLLIN, 0};
    if (::poll(&p, 1, 100) > 0)
      for (auto& c : monitor.TakeChanges()) seen.push_back(std::move(c));
  }
}

bool Saw(const std::vector<lg::DeviceChange>& seen, bool arrival, const std::string& node) {
  return std::any_of(seen.begin(), seen.end(), [&](const lg::DeviceChange& c) {
    return c.arrival == arrival && c.node == node && c.message == WM_DEVICECHANGE &&
           c.wparam == lg::kDevNodesChanged;
  });
}

// Without root: opens asking for access are denied with Windows' code and text, an
// open asking for none still identifies the device, and state changes are refused.
void CheckWithoutRights(const std::string& node, const std::u16string& instance_id) {
  pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(100);
    lg::Install();
    int bits = 0;
    const std::u16string path = qzplatform::FromUtf8(node);
    HANDLE h = CreateFileW(qzplatform::AsWide(path), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    WCHAR text[128] = {};
    if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED &&
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, text, 128,
                       nullptr) &&
        std::u16string(qzplatform::AsChar16(text)) == u"Access is denied.\r\n")
      bits |= 1;
    HANDLE q = CreateFileW(qzplatform::AsWide(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (q != INVALID_HANDLE_VALUE) {
      HMODULE hid = LoadLibraryW(qzplatform::AsWide(std::u16string(u"HID.DLL")));
      auto attributes = reinterpret_cast<PFN_HidD_GetAttributes>(
          reinterpret_cast<void*>(GetProcAddress(hid, "HidD_GetAttributes")));
      HIDD_ATTRIBUTES a{};
      if (attributes && attributes(q, &a) && a.VendorID == 0x1209) bits |= 2;
      CloseHandle(q);
    }
    try {
      if (!qz::DiDisableDevice(instance_id) && GetLastError() == ERROR_ACCESS_DENIED) bits |= 4;
    } catch (const qz::Error&) {
      // the device could not even be opened: the check fails
    }
    ::_exit(bits);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  const int bits = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  Check(bits >= 0 && (bits & 1), "no rights: read/write open is denied with \"Access is denied.\"");
  Check(bits >= 0 && (bits & 2), "no rights: an open without access still identifies the device");
  Check(bits >= 0 && (bits & 4), "no rights: disable is refused with ERROR_ACCESS_DENIED");
}

// A recording of the two-collection device, written as `qzhid record` writes one: the
// reports of ID 2 reach the vendor collection, the one of ID 1 the mouse. They start
// late enough for the check to open the device first.
std::string MultiRecording() {
  std::string descriptor;
  for (const std::uint8_t b : kMulti) {
    char h[4];
    std::snprintf(h, sizeof h, " %02x", b);
    descriptor += h;
  }
  return "# a replayed device\nN: qzLink Replayed\nP: vm-proof\nI: 3 1209 00e1\nR: " +
         std::to_string(kMulti.size()) + descriptor +
         "\nE: 000002.000000 8 02 10 20 30 40 50 60 70\nE: 000002.100000 4 01 01 05 fb\n"
         "E: 000002.200000 8 02 01 02 03 04 05 06 07\n";
}

// `qzhid replay` with the linux platform, as a separate program: the device it makes
// through /dev/uhid is seen by the ground with the descriptor's caps, its collection
// receives the recorded reports, and it is gone when qzhid ends.
void CheckReplay(qz::TqzHid& hid) {
  const char* file = "/tmp/replay.rec";
  if (std::FILE* f = std::fopen(file, "w")) {
    std::fputs(MultiRecording().c_str(), f);
    std::fclose(f);
  }
  char* argv[] = {const_cast<char*>("qzhid"), const_cast<char*>("--platform=linux"),
                  const_cast<char*>("replay"), const_cast<char*>(file), nullptr};
  pid_t child = -1;
  const bool spawned = ::posix_spawn(&child, "/bin/qzhid", nullptr, nullptr, argv, environ) == 0;
  Check(spawned, "qzhid replay starts");
  if (!spawned) return;
  int vendor = -1, mouse = -1;
  WaitUntil([&] {
    hid.DeviceListLoad();
    vendor = FindRecord(hid, 0x1209, 0x00E1, "&col02");
    mouse = FindRecord(hid, 0x1209, 0x00E1, "&col01");
    return vendor >= 0 && mouse >= 0;
  });
  const hidparse::ParseResult parsed = hidparse::Parse(kMulti);
  Check(vendor >= 0 && mouse >= 0 && parsed.ok() &&
            SameCaps(static_cast<qz::TqzHidDevice*>(hid.GetDevice(mouse))->fCaps,
                     parsed.collections[0]->caps) &&
            SameCaps(static_cast<qz::TqzHidDevice*>(hid.GetDevice(vendor))->fCaps,
                     parsed.collections[1]->caps),
        "the replayed device is enumerated with the recorded descriptor's caps");
  Receiver receiver;
  if (vendor >= 0) {
    hid.SetOnAfterReceive(qz::TOnReceived::Bind<&Receiver::OnReceived>(&receiver));
    hid.SetDeviceIndex(vendor);
    hid.SetActive(true);
  }
  WaitUntil([&] { return receiver.Blocks().size() >= 2; }, 6s);
  const auto blocks = receiver.Blocks();
  const auto starts = [](const Bytes& block, const char* hex) {
    const Bytes want = Hex(hex);
    return block.size() >= want.size() && std::equal(want.begin(), want.end(), block.begin());
  };
  Check(blocks.size() == 2 && starts(blocks[0], "02 10 20 30 40 50 60 70") &&
            starts(blocks[1], "02 01 02 03 04 05 06 07"),
        "the replayed reports of the vendor collection arrive in order", Dump(blocks));
  hid.SetActive(false);
  hid.SetOnAfterReceive({});
  int status = -1;
  WaitUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; }, 10s);
  Check(WIFEXITED(status) && WEXITSTATUS(status) == 0, "qzhid replay ends with status 0",
        std::to_string(status));
  Check(WaitUntil([&] {
          hid.DeviceListLoad();
          return FindRecord(hid, 0x1209, 0x00E1, "&col02") < 0;
        }),
        "the replayed device is removed when qzhid ends");
}

void Run() {
  qz::ConsoleDispatcher dispatcher;
  lg::Install();
  lg::DeviceMonitor monitor;
  Check(monitor.valid(), "udev monitor starts", monitor.error());

  UhidDevice vendor("qzLink Vendor 64", 0x1209, 0x0001, kVendor);
  UhidDevice multi("qzLink Multi", 0x1209, 0x0002, kMulti);
  Check(vendor.ok() && multi.ok(), "uhid devices created", vendor.error() + multi.error());
  // Three USB nodes (keyboard, mouse, tablet) and the two uhid devices.
  Check(WaitUntil([] { return lg::ListInterfaces({}).size() >= 6; }), "hidraw nodes appear",
        std::to_string(lg::ListInterfaces({}).size()) + " interfaces");

  qz::TqzHid hid(nullptr);
  hid.DeviceListLoad();
  Check(hid.GetDeviceCount() == 6, "enumeration lists every interface",
        std::to_string(hid.GetDeviceCount()) + " records");
  const int v = FindRecord(hid, 0x1209, 0x0001, "");
  const int m1 = FindRecord(hid, 0x1209, 0x0002, "&col01");
  const int m2 = FindRecord(hid, 0x1209, 0x0002, "&col02");
  const int kbd = FindRecord(hid, 0x0627, 0x0001, "");
  Check(v >= 0 && m1 >= 0 && m2 >= 0, "uhid devices enumerated, one record per collection");
  Check(kbd >= 0, "usb-kbd enumerated with QEMU's vendor and product");
  if (v < 0 || m1 < 0 || m2 < 0 || kbd < 0) return;
  auto* rv = static_cast<qz::TqzHidDevice*>(hid.GetDevice(v));
  auto* rm2 = static_cast<qz::TqzHidDevice*>(hid.GetDevice(m2));
  auto* rk = static_cast<qz::TqzHidDevice*>(hid.GetDevice(kbd));
  Check(rv->Description == u"qzLink Vendor 64" && rv->Service == u"hid-generic" &&
            rv->InstanceId.starts_with(u"HID\\VID_1209&PID_0001\\0003:1209:0001.") &&
            !rv->RegKey.empty() && rv->DevInst != 0,
        "identity of the vendor device", Utf8(rv->InstanceId) + " " + Utf8(rv->Description));
  Check(rk->Manufacturer == u"QEMU" && rk->BusRelations.empty() && rk->NamePDO.find(u"usb") != std::u16string::npos,
        "usb-kbd: manufacturer and physical device from sysfs",
        Utf8(rk->Manufacturer) + " " + Utf8(rk->NamePDO));

  // Caps against the parser run on the descriptors we gave and the kernel holds.
  auto parsed_vendor = hidparse::Parse(kVendor);
  auto parsed_multi = hidparse::Parse(kMulti);
  auto parsed_kbd = hidparse::Parse(KernelDescriptor(NodeOf(rk->NameSymbolic)));
  Check(parsed_vendor.ok() && SameCaps(rv->fCaps, parsed_vendor.collections[0]->caps) &&
            rv->InputReportLength() == 65,
        "vendor device caps match the descriptor");
  Check(parsed_multi.ok() && SameCaps(rm2->fCaps, parsed_multi.collections[1]->caps) &&
            SameCaps(static_cast<qz::TqzHidDevice*>(hid.GetDevice(m1))->fCaps,
                     parsed_multi.collections[0]->caps),
        "each collection of the multi device has its own caps");
  Check(parsed_kbd.ok() && !parsed_kbd.collections.empty() &&
            SameCaps(rk->fCaps, parsed_kbd.collections[0]->caps) &&
            rk->OutputReportLength() == 2 && rk->OutputButtonsCount() >= 1 &&
            rk->OutputButtons(0).UsagePage == 0x08,
        "usb-kbd caps match its descriptor, LED output report included",
        "out " + std::to_string(rk->OutputReportLength()));

  // What the udev rule's program decides for real descriptors.
  const auto kbd_class = lg::ClassifyDescriptor(KernelDescriptor(NodeOf(rk->NameSymbolic)));
  const auto vendor_class = lg::ClassifyDescriptor(KernelDescriptor(NodeOf(rv->NameSymbolic)));
  Check(kbd_class.keyboard && !kbd_class.vendor && vendor_class.vendor && !vendor_class.keyboard &&
            !vendor_class.mouse,
        "the udev rule's classifier keeps the keyboard private and opens the vendor device");

  // Input through the monitoring loop, whole and in order.
  Receiver receiver;
  hid.SetOnAfterReceive(qz::TOnReceived::Bind<&Receiver::OnReceived>(&receiver));
  hid.SetDeviceIndex(v);
  hid.SetActive(true);
  Check(hid.GetActive() && hid.IsReadMode() && hid.IsWriteMode(), "vendor device opens R+W");
  // The burst below outruns the emulated machine's loop; the handle keeps every report
  // only with more than the default 32 input buffers.
  Check(qz::HidD_SetNumInputBuffers(hid.Handle(), 512) && !qz::HidD_SetNumInputBuffers(hid.Handle(), 513),
        "the handle's input buffers take Windows' bounds");
  constexpr int kReports = 40;
  for (int i = 0; i < kReports; ++i) {
    Bytes r(64);
    for (int k = 0; k < 64; ++k) r[k] = static_cast<std::uint8_t>(i * 3 + k);
    vendor.Input(r);
  }
  WaitUntil([&] { return receiver.Blocks().size() >= kReports; });
  auto blocks = receiver.Blocks();
  bool whole = blocks.size() == kReports;
  for (int i = 0; whole && i < kReports; ++i)
    whole = blocks[i].size() == 65 && blocks[i][0] == 0 && blocks[i][1] == (i * 3) % 256 &&
            blocks[i][64] == (i * 3 + 63) % 256;
  Check(whole, "input reports arrive through the loop whole and in order, ID 0 first",
        std::to_string(blocks.size()) + " blocks");

  // Output and feature reports reach the device byte for byte, report ID first.
  Bytes out(65);
  for (int k = 1; k < 65; ++k) out[k] = static_cast<std::uint8_t>(0xA0 + k);
  hid.SendData(out.data(), 65);
  auto got = vendor.WaitReceived(1);
  Check(got.size() == 1 && got[0].kind == UhidDevice::Received::kOutput && got[0].data == out,
        "SendData reaches the device unchanged");
  out[1] = 0x55;
  const bool set_out = hid.SetOutputReport(out.data(), 65);
  got = vendor.WaitReceived(2);
  Check(set_out && got.size() == 2 && got[1].data == out, "SetOutputReport reaches the device");
  Bytes feature(65, 0x3C);
  feature[0] = 0;
  const bool wrote = hid.WriteFeature(feature.data(), 65);
  got = vendor.WaitReceived(3);
  Check(wrote && got.size() == 3 && got[2].kind == UhidDevice::Received::kSetReport &&
            got[2].number == 0 && got[2].data == feature,
        "WriteFeature reaches the device as a set-report of report 0");
  Bytes back(65, 0xEE);
  back[0] = 0;
  Check(hid.ReadFeature(back.data(), 65) && back == feature, "ReadFeature reads it back");
  vendor.SetAnswer(0, Bytes(65, 0x11));
  Bytes input(65, 0);
  Check(hid.GetInputReport(input.data(), 65) && input == Bytes(65, 0x11),
        "GetInputReport asks the device");

  // Unplugging the open device makes the loop close the component.
  vendor.Destroy();
  Check(WaitUntil([&] { return !hid.GetActive(); }), "destroying the open device closes it");
  std::vector<lg::DeviceChange> seen;
  Collect(monitor, seen, 500ms);
  Check(Saw(seen, true, NodeOf(rv->NameSymbolic)) && Saw(seen, true, NodeOf(rm2->NameSymbolic)),
        "udev monitor reported both arrivals");
  Check(Saw(seen, false, NodeOf(rv->NameSymbolic)), "udev monitor reported the removal");
  qz::Message msg{seen.empty() ? 0u : seen.back().message,
                  seen.empty() ? 0u : seen.back().wparam,
                  seen.empty() ? 0 : seen.back().lparam, 0};
  const bool handled = hid.WMDeviceChange(msg);
  Check(handled && hid.GetDeviceCount() == 5,
        "the device-change message reloads the list without the device",
        std::to_string(hid.GetDeviceCount()) + " records");

  // The reload freed the records: find them again.
  const int m2now = FindRecord(hid, 0x1209, 0x0002, "&col02");
  const int kbdnow = FindRecord(hid, 0x0627, 0x0001, "");
  if (m2now < 0 || kbdnow < 0) return;
  rm2 = static_cast<qz::TqzHidDevice*>(hid.GetDevice(m2now));
  rk = static_cast<qz::TqzHidDevice*>(hid.GetDevice(kbdnow));
  rv = nullptr;

  // The multi device: its vendor collection reads only its own reports; a report
  // shorter than the collection's longest arrives padded.
  receiver.Clear();
  hid.SetDeviceIndex(m2now);
  hid.SetActive(true);
  multi.Input(Hex("01 01 05 05"));
  multi.Input(Hex("02 10 20 30 40 50 60 70"));
  multi.Input(Hex("01 00 FB FB"));
  multi.Input(Hex("04 11 21"));
  WaitUntil([&] { return receiver.Blocks().size() >= 2; });
  std::this_thread::sleep_for(200ms);
  blocks = receiver.Blocks();
  Check(blocks.size() == 2 && blocks[0] == Hex("02 10 20 30 40 50 60 70") &&
            blocks[1] == Hex("04 11 21 00 00 00 00 00"),
        "a collection receives only its own input reports, padded",
        Dump(blocks) + " from " + Utf8(hid.GetDevice(m2now)->NameSymbolic));
  const Bytes out2 = Hex("02 01 02 03 04 05 06 07");
  hid.SendData(out2.data(), 8);
  const Bytes feat3 = Hex("03 AA BB CC");
  const bool f3 = hid.WriteFeature(feat3.data(), 4);
  got = multi.WaitReceived(2);
  // SendData does not wait, so the feature report may reach the device first.
  std::vector<Bytes> got_data;
  bool output_seen = false, feature_seen = false;
  for (const auto& g : got) {
    got_data.push_back(g.data);
    output_seen |= g.kind == UhidDevice::Received::kOutput && g.data == out2;
    feature_seen |= g.kind == UhidDevice::Received::kSetReport && g.number == 3 && g.data == feat3;
  }
  Check(f3 && output_seen && feature_seen,
        "report IDs reach the device first in output and feature reports", Dump(got_data));
  hid.SetActive(false);

  // Disable, enable, restart and reset through the library's state routines.
  const std::string multi_node = NodeOf(rm2->NameSymbolic);
  const std::u16string multi_id = rm2->InstanceId;
  seen.clear();
  auto count = [] { return std::to_string(lg::ListInterfaces({}).size()) + " interfaces"; };
  const bool disabled = qz::DiDisableDevice(multi_id);
  Check(disabled && WaitUntil([&] { return !HasInterface(multi_node); }),
        "disable unbinds the driver: the node goes", count());
  const bool enabled = qz::DiEnableDevice(multi_id);
  Check(enabled && WaitUntil([&] { return lg::ListInterfaces({}).size() == 5; }),
        "enable binds it again: the interfaces come back", count());
  Collect(monitor, seen, 300ms);
  Check(Saw(seen, false, multi_node), "udev monitor saw the disable");
  const std::u16string kbd_id = rk->InstanceId;
  const std::string kbd_node = NodeOf(rk->NameSymbolic);
  seen.clear();
  const bool restarted = qz::DiRestartDevice(kbd_id);
  Collect(monitor, seen, 300ms);
  Check(restarted && Saw(seen, false, kbd_node) &&
            WaitUntil([&] { return lg::ListInterfaces({}).size() == 5; }),
        "restart of the usb-kbd: its node goes and comes back", count());
  // The reset keeps the device away for 1000 ms; a watcher sees it gone meanwhile.
  std::atomic<bool> resetting{true}, removed{false};
  std::thread watcher([&] {
    while (resetting) {
      if (lg::ListInterfaces({}).size() == 4) removed = true;
      std::this_thread::sleep_for(50ms);
    }
  });
  const bool reset = qz::DiResetDevice(kbd_id);
  resetting = false;
  watcher.join();
  Check(reset && removed && WaitUntil([&] { return lg::ListInterfaces({}).size() == 5; }, 10s),
        "reset of the usb-kbd: removed from the bus, then back", count());

  hid.DeviceListLoad();
  const int again = FindRecord(hid, 0x1209, 0x0002, "&col02");
  CheckWithoutRights(again >= 0 ? NodeOf(hid.GetDevice(again)->NameSymbolic) : "/dev/none",
                     multi_id);
  CheckReplay(hid);
}

}  // namespace
}  // namespace vmtest

int main() {
  const auto start = std::chrono::steady_clock::now();
  try {
    vmtest::Run();
  } catch (const std::exception& e) {
    vmtest::Check(false, "no exception", e.what());
  }
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
  std::printf("vm-proof: %d passed, %d failed (%lld ms in the guest)\n", vmtest::passed,
              vmtest::failed, static_cast<long long>(ms));
  return vmtest::failed == 0 ? 0 : 1;
}
