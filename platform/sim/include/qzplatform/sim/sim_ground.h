// The sim ground: the simulated machine behind the system interface, with its
// "HID.DLL" module.
#pragma once

#ifndef _WIN32

#include <memory>

#include "qzplatform/ground.h"
#include "qzplatform/sim/machine.h"

namespace qzplatform::sim {

class SimGround : public Ground {
 public:
  explicit SimGround(std::shared_ptr<Machine> machine);
  std::u16string_view Name() const override { return u"sim"; }
  std::shared_ptr<FileObject> OpenDevice(std::u16string_view path, DWORD access, DWORD share,
                                         DWORD flags, bool* is_device, DWORD* error) override;
  std::shared_ptr<const Module> FindModule(std::u16string_view name) override;
  bool GetVersion(OSVERSIONINFOEXW* info) override;
  void GetLocalTime(SYSTEMTIME* time) override;

  const std::shared_ptr<Machine>& machine() const { return machine_; }

 private:
  std::shared_ptr<Machine> machine_;
};

// Makes `machine` the active ground's machine (Machine::Default() when null) and
// returns it.
std::shared_ptr<Machine> Install(std::shared_ptr<Machine> machine = nullptr);

// "HID.DLL" with its fifteen entries.
std::shared_ptr<const Module> HidModule();

}  // namespace qzplatform::sim

#endif  // !_WIN32
