// The linux ground: real HID devices through hidraw and sysfs behind the system
// interface, with the "HID.DLL" module. Every top-level collection of a hidraw node is
// a device interface of its own, as on Windows (see docs/linux-ground.md).
#pragma once

#ifndef _WIN32

#include <memory>
#include <string>
#include <vector>

#include "qzplatform/ground.h"
#include "qzplatform/hidshared/device_tree.h"

namespace qzplatform::linux_ground {

// Where the ground finds sysfs and the device nodes. Tests point both at a
// fabricated tree.
struct Roots {
  std::string sysfs = "/sys";
  std::string dev = "/dev";
};

class LinuxDeviceTree;

class LinuxGround : public Ground, public hidshared::DeviceTreeSource {
 public:
  explicit LinuxGround(Roots roots = {});
  std::u16string_view Name() const override { return u"linux"; }
  // Claims <dev>/hidrawN and <dev>/hidrawN&colNN; anything else is a regular file.
  std::shared_ptr<FileObject> OpenDevice(std::u16string_view path, DWORD access, DWORD share,
                                         DWORD flags, bool* is_device, DWORD* error) override;
  // "HID.DLL", "SetupAPI.dll", "cfgmgr32.dll" and "ntdll.dll".
  std::shared_ptr<const Module> FindModule(std::u16string_view name) override;
  // The hardware keys of the device tree below HKEY_LOCAL_MACHINE.
  std::optional<RegistryKeyData> ReadRegistryKey(HKEY root, std::u16string_view path) override;
  // Every HID device's collections as device nodes, read from sysfs when asked.
  std::shared_ptr<hidshared::DeviceTree> Devices() override;
  // The running kernel's version as major.minor.build, platform NT, workstation.
  bool GetVersion(OSVERSIONINFOEXW* info) override;

  const Roots& roots() const { return roots_; }

 private:
  struct OpenFiles;
  Roots roots_;
  std::shared_ptr<OpenFiles> open_files_;  // Windows' sharing rules between our opens
  std::shared_ptr<LinuxDeviceTree> tree_;
};

// Makes a linux ground over `roots` the active ground and returns it.
std::shared_ptr<LinuxGround> Install(Roots roots = {});

// One device interface as the ground sees it: a top-level collection of a hidraw node.
struct InterfaceInfo {
  std::u16string path;  // what CreateFileW opens: <dev>/hidrawN or <dev>/hidrawN&colNN
  unsigned node = 0;    // N of hidrawN
  std::size_t collection = 0;
  std::size_t collection_count = 1;
  USHORT usage_page = 0, usage = 0;
};
// Every interface of every hidraw node sysfs lists, in node order. A node whose report
// descriptor cannot be read or parsed gives no interface.
std::vector<InterfaceInfo> ListInterfaces(const Roots& roots);

// "HID.DLL" with its seventeen entries.
std::shared_ptr<const Module> HidModule();

}  // namespace qzplatform::linux_ground

#endif  // !_WIN32
