// The linux ground: opens hidraw device interfaces with Windows' access and sharing
// rules, provides its modules, and answers the version query from the kernel.
#include "qzplatform/linux/linux_ground.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/utsname.h>
#include <unistd.h>

#include "device_errors.h"
#include "device_path.h"
#include "hidraw_file.h"
#include "linux_device_tree.h"
#include "qzplatform/ascii_text.h"

namespace qzplatform::linux_ground {

// Our own open handles per interface. Linux has no share modes, so Windows' rules hold
// between the handles of this process only.
struct LinuxGround::OpenFiles {
  std::mutex mutex;
  std::map<std::pair<unsigned, std::size_t>, std::vector<std::weak_ptr<HidrawFile>>> files;
};

LinuxGround::LinuxGround(Roots roots)
    : roots_(std::move(roots)),
      open_files_(std::make_shared<OpenFiles>()),
      tree_(std::make_shared<LinuxDeviceTree>(roots_)) {}

std::shared_ptr<hidshared::DeviceTree> LinuxGround::Devices() { return tree_; }

std::optional<RegistryKeyData> LinuxGround::ReadRegistryKey(HKEY root, std::u16string_view path) {
  return hidshared::ReadTreeKey(*tree_, root, path);
}

std::shared_ptr<FileObject> LinuxGround::OpenDevice(std::u16string_view path, DWORD access,
                                                    DWORD share, DWORD flags, bool* is_device,
                                                    DWORD* error) {
  const auto parsed = ParseDevicePath(path, roots_.dev);
  *is_device = parsed.has_value();
  if (!parsed) return nullptr;
  // A listing just read the node; reading it again would double the cost of discovery.
  std::shared_ptr<const SysfsHidDevice> node = tree_->DeviceFromSnapshot(parsed->node);
  if (!node) node = ReadNode(roots_, parsed->node, error);
  if (!node) {
    if (*error == ERROR_INVALID_DATA) *error = ERROR_FILE_NOT_FOUND;
    return nullptr;
  }
  // The plain path of a node with several collections opens its first one.
  if (parsed->collection >= node->collections.size()) {
    *error = ERROR_FILE_NOT_FOUND;
    return nullptr;
  }
  const hidshared::Access want = hidshared::AccessOf(access);
  std::lock_guard lock(open_files_->mutex);
  auto& files = open_files_->files[{parsed->node, parsed->collection}];
  std::erase_if(files, [](const std::weak_ptr<HidrawFile>& w) {
    auto f = w.lock();
    return !f || f->closed();
  });
  for (const auto& weak : files)
    if (auto other = weak.lock(); other && !hidshared::SharingAllows(want, share, other->access(),
                                                                       other->share())) {
      *error = ERROR_SHARING_VIOLATION;
      return nullptr;
    }
  // An open without access (what discovery does) leaves the node closed until a report
  // request needs it: opening a hidraw node starts the device's input, and its close
  // waits for the bus to stop it again.
  int fd = -1;
  if (want.read || want.write) {
    const int mode = want.read && want.write ? O_RDWR : want.write ? O_WRONLY : O_RDONLY;
    fd = ::open(node->dev_path.c_str(), mode | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
      *error = OpenError(errno);
      return nullptr;
    }
  }
  auto file = std::make_shared<HidrawFile>(std::move(node), parsed->collection, fd, want, share,
                                           (flags & FILE_FLAG_OVERLAPPED) != 0);
  files.push_back(file);
  *error = ERROR_SUCCESS;
  return file;
}

std::shared_ptr<const Module> LinuxGround::FindModule(std::u16string_view name) {
  const std::u16string key = LowerAsciiText(name);
  // LoadLibraryW adds ".dll" to a name without an extension.
  if (key == u"hid.dll" || key == u"hid") return HidModule();
  return hidshared::FindTreeModule(key);
}

bool LinuxGround::GetVersion(OSVERSIONINFOEXW* info) {
  utsname u{};
  if (::uname(&u) != 0) return false;
  unsigned major = 0, minor = 0, build = 0;
  std::sscanf(u.release, "%u.%u.%u", &major, &minor, &build);
  const DWORD size = info->dwOSVersionInfoSize;
  std::memset(info, 0, size);
  info->dwOSVersionInfoSize = size;
  info->dwMajorVersion = major;
  info->dwMinorVersion = minor;
  info->dwBuildNumber = build;
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  // The service-pack text names the system: "Linux 6.1.0-18-amd64".
  const std::u16string text = FromUtf8(std::string(u.sysname) + " " + u.release);
  std::copy_n(text.begin(), std::min<std::size_t>(text.size(), 127), info->szCSDVersion);
  if (size >= sizeof(OSVERSIONINFOEXW)) info->wProductType = VER_NT_WORKSTATION;
  return true;
}

std::shared_ptr<LinuxGround> Install(Roots roots) {
  auto ground = std::make_shared<LinuxGround>(std::move(roots));
  SetGround(ground);
  return ground;
}

std::vector<InterfaceInfo> ListInterfaces(const Roots& roots) {
  std::vector<InterfaceInfo> result;
  for (unsigned number : ListNodeNumbers(roots)) {
    DWORD error = 0;
    auto node = ReadNode(roots, number, &error);
    if (!node) continue;
    const std::size_t count = node->collections.size();
    for (std::size_t c = 0; c < count; ++c) {
      InterfaceInfo info;
      info.path = FormatDevicePath(roots.dev, number, c, count);
      info.node = number;
      info.collection = c;
      info.collection_count = count;
      info.usage_page = node->collections[c]->caps.UsagePage;
      info.usage = node->collections[c]->caps.Usage;
      result.push_back(std::move(info));
    }
  }
  return result;
}

}  // namespace qzplatform::linux_ground
