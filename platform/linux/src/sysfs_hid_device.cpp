// Reading hidraw nodes, their HID devices and USB parents from sysfs.
#include "sysfs_hid_device.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <unistd.h>

#include "qzplatform/ascii_text.h"

namespace qzplatform::linux_ground {
namespace fs = std::filesystem;
namespace {

// A file's bytes. A read that comes back short has reached the end of a regular file or
// of a sysfs attribute, so no further read is made to see it return nothing.
std::optional<std::string> ReadFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string bytes;
  char chunk[4096];
  ssize_t n = 0;
  do {
    do n = ::read(fd, chunk, sizeof chunk);
    while (n < 0 && errno == EINTR);
    if (n > 0) bytes.append(chunk, static_cast<std::size_t>(n));
  } while (n == static_cast<ssize_t>(sizeof chunk));
  ::close(fd);
  if (n < 0) return std::nullopt;
  return bytes;
}

std::optional<std::vector<std::uint8_t>> ReadBytes(const std::string& path) {
  auto bytes = ReadFile(path);
  if (!bytes) return std::nullopt;
  return std::vector<std::uint8_t>(bytes->begin(), bytes->end());
}

// N of a "hidrawN" entry: up to eight decimal digits.
std::optional<unsigned> HidrawNumber(std::string_view name) {
  if (!name.starts_with("hidraw") || name.size() > 14) return std::nullopt;
  const auto number = ParseUnsigned(name.substr(6), 10);
  if (!number) return std::nullopt;
  return static_cast<unsigned>(*number);
}

unsigned long Hex(const std::string& text) {
  return static_cast<unsigned long>(ParseUnsigned(text, 16, ~0ul).value_or(0));
}

// HID_ID=0003:0000046D:0000C52B: bus, vendor and product in hexadecimal.
void ReadHidId(const std::string& id, SysfsHidDevice& node) {
  std::istringstream in(id);
  std::string bus, vendor, product;
  if (std::getline(in, bus, ':') && std::getline(in, vendor, ':') && std::getline(in, product)) {
    node.bus = static_cast<USHORT>(Hex(bus));
    node.vendor = static_cast<USHORT>(Hex(vendor));
    node.product = static_cast<USHORT>(Hex(product));
  }
}

std::optional<UsbDevice> FindUsbDevice(const Roots& roots, const fs::path& hid_dir) {
  std::error_code ec;
  const fs::path top = ResolvedPath(roots.sysfs + "/devices");
  for (fs::path dir = hid_dir.parent_path(); !dir.empty() && dir != dir.root_path();
       dir = dir.parent_path()) {
    if (!top.empty() && dir.native().size() <= top.native().size()) break;
    if (!fs::exists(dir / "idVendor", ec)) continue;
    UsbDevice usb;
    usb.dir = dir.string();
    usb.manufacturer = ReadAttribute(usb.dir + "/manufacturer");
    usb.product = ReadAttribute(usb.dir + "/product");
    usb.serial = ReadAttribute(usb.dir + "/serial");
    if (auto bcd = ReadAttribute(usb.dir + "/bcdDevice")) usb.bcd_device = static_cast<USHORT>(Hex(*bcd));
    // The device descriptor opens the descriptors file; its string indexes sit at 14..16.
    if (auto d = ReadBytes(usb.dir + "/descriptors"); d && d->size() >= 18) {
      usb.i_manufacturer = (*d)[14];
      usb.i_product = (*d)[15];
      usb.i_serial = (*d)[16];
    }
    return usb;
  }
  return std::nullopt;
}

}  // namespace

// The kernel walks the path once to open it; the name /proc gives the descriptor is the
// resolved path. std::filesystem walks it again for every component, a system call each.
std::string ResolvedPath(const std::string& path) {
  const int fd = ::open(path.c_str(), O_PATH | O_CLOEXEC);
  if (fd < 0) return {};
  char target[PATH_MAX];
  const ssize_t length =
      ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof target);
  ::close(fd);
  if (length > 0 && static_cast<std::size_t>(length) < sizeof target && target[0] == '/')
    return std::string(target, static_cast<std::size_t>(length));
  std::error_code ec;  // no /proc
  const fs::path resolved = fs::canonical(path, ec);
  return ec ? std::string() : resolved.string();
}

std::optional<std::string> ReadAttribute(const std::string& path) {
  auto text = ReadFile(path);
  if (!text) return std::nullopt;
  while (!text->empty() && (text->back() == '\n' || text->back() == '\r')) text->pop_back();
  return text;
}

std::map<std::string, std::string> ReadUevent(const std::string& dir) {
  std::map<std::string, std::string> values;
  std::istringstream in(ReadFile(dir + "/uevent").value_or(""));
  std::string line;
  while (std::getline(in, line)) {
    auto eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

std::string BoundDriver(const std::string& dir) {
  char target[PATH_MAX];
  const ssize_t length = ::readlink((dir + "/driver").c_str(), target, sizeof target);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) return {};
  const std::string_view link(target, static_cast<std::size_t>(length));
  return std::string(link.substr(link.rfind('/') + 1));
}

std::vector<unsigned> ListNodeNumbers(const Roots& roots) {
  std::vector<unsigned> numbers;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(fs::path(roots.sysfs) / "class" / "hidraw", ec)) {
    const std::string name = entry.path().filename().string();
    if (const auto number = HidrawNumber(name)) numbers.push_back(*number);
  }
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

bool SetDescriptor(SysfsHidDevice& node, std::vector<std::uint8_t> descriptor, std::string* why) {
  hidparse::ParseResult parsed = hidparse::Parse(descriptor);
  if (!parsed.ok() || parsed.collections.empty()) {
    if (why)
      *why = parsed.ok() ? "the report descriptor declares no top-level collection"
                         : parsed.error + " (at byte " + std::to_string(parsed.error_offset) + ")";
    return false;
  }
  node.descriptor = std::move(descriptor);
  node.collections = std::move(parsed.collections);
  node.numbered = hidshared::UsesReportIds(node.collections);
  return true;
}

std::shared_ptr<SysfsHidDevice> ReadHidDevice(const Roots& roots, const std::string& dir, DWORD* error,
                                          std::string* why, bool need_descriptor) {
  std::error_code ec;
  const fs::path hid_dir = ResolvedPath(dir);
  if (hid_dir.empty()) {
    *error = ERROR_FILE_NOT_FOUND;
    if (why) *why = "no HID device at " + dir;
    return nullptr;
  }
  auto node = std::make_shared<SysfsHidDevice>();
  node->hid_dir = hid_dir.string();
  node->hid_id = hid_dir.filename().string();
  auto uevent = ReadUevent(node->hid_dir);
  ReadHidId(uevent["HID_ID"], *node);
  node->name = uevent["HID_NAME"];
  node->phys = uevent["HID_PHYS"];
  node->uniq = uevent["HID_UNIQ"];
  node->driver = BoundDriver(node->hid_dir);
  node->usb = FindUsbDevice(roots, hid_dir);
  if (node->usb) node->version = node->usb->bcd_device;
  // A bound device has its node below it: <hid device>/hidraw/hidrawN.
  for (const auto& entry : fs::directory_iterator(hid_dir / "hidraw", ec)) {
    const std::string name = entry.path().filename().string();
    const auto number = HidrawNumber(name);
    if (!number) continue;
    node->has_node = true;
    node->number = *number;
    node->dev_path = roots.dev + "/" + name;
    node->class_dir = roots.sysfs + "/class/hidraw/" + name;
    break;
  }
  auto descriptor = ReadBytes(node->hid_dir + "/report_descriptor");
  *error = ERROR_SUCCESS;
  if (!descriptor) {
    *error = ERROR_FILE_NOT_FOUND;
    if (why) *why = "no report descriptor in " + node->hid_dir;
  } else if (!SetDescriptor(*node, std::move(*descriptor), why)) {
    *error = ERROR_INVALID_DATA;
  }
  if (*error != ERROR_SUCCESS && need_descriptor) return nullptr;
  return node;
}

std::shared_ptr<SysfsHidDevice> ReadNode(const Roots& roots, unsigned number, DWORD* error,
                                     std::string* why) {
  const std::string class_dir = roots.sysfs + "/class/hidraw/hidraw" + std::to_string(number);
  auto node = ReadHidDevice(roots, class_dir + "/device", error, why);
  if (!node) return nullptr;
  node->has_node = true;
  node->number = number;
  node->dev_path = roots.dev + "/hidraw" + std::to_string(number);
  node->class_dir = class_dir;
  return node;
}

std::vector<std::string> ListHidDevices(const Roots& roots) {
  std::vector<std::string> dirs;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(fs::path(roots.sysfs) / "bus" / "hid" / "devices", ec))
    dirs.push_back(entry.path().string());
  std::sort(dirs.begin(), dirs.end());
  return dirs;
}

}  // namespace qzplatform::linux_ground
