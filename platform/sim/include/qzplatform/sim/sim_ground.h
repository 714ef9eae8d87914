// The sim ground: the simulated machine behind the system interface, with its
// "HID.DLL" module and its device tree under the shared SetupAPI, cfgmgr32 and ntdll.
#pragma once

#ifndef _WIN32

#include <memory>

#include "qzplatform/ground.h"
#include "qzplatform/hidshared/device_tree.h"
#include "qzplatform/sim/machine.h"

namespace qzplatform::sim {

class SimGround : public Ground, public hidshared::DeviceTreeSource {
 public:
  explicit SimGround(std::shared_ptr<Machine> machine);
  std::u16string_view Name() const override { return u"sim"; }
  std::shared_ptr<FileObject> OpenDevice(std::u16string_view path, DWORD access, DWORD share,
                                         DWORD flags, bool* is_device, DWORD* error) override;
  std::shared_ptr<const Module> FindModule(std::u16string_view name) override;
  bool GetVersion(OSVERSIONINFOEXW* info) override;
  void GetLocalTime(SYSTEMTIME* time) override;
  // The machine's device keys below HKEY_LOCAL_MACHINE (docs/sim-devices.md).
  std::optional<RegistryKeyData> ReadRegistryKey(HKEY root, std::u16string_view path) override;
  // The machine's temporary folder, when it has one set.
  std::optional<std::u16string> TempFolder() override;
  // A started program shares this machine: its device helper's property changes reach
  // it through a private socket named in the program's environment (shared_machine.h).
  std::shared_ptr<void> ShareWithProcess(std::vector<std::string>* environment) override;

  std::shared_ptr<hidshared::DeviceTree> Devices() override { return tree_; }

  const std::shared_ptr<Machine>& machine() const { return machine_; }

 private:
  std::shared_ptr<Machine> machine_;
  std::shared_ptr<hidshared::DeviceTree> tree_;
};

// Makes `machine` the active ground's machine (Machine::Default() when null) and
// returns it.
std::shared_ptr<Machine> Install(std::shared_ptr<Machine> machine = nullptr);

// "HID.DLL" with its seventeen entries.
std::shared_ptr<const Module> HidModule();

}  // namespace qzplatform::sim

#endif  // !_WIN32
