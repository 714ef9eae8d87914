// The sim ground: forwards the system interface's ground queries to the machine.
#include "qzplatform/sim/sim_ground.h"

#include <cstdlib>
#include <string_view>

#include "field_error.h"
#include "sim_device_tree.h"

namespace qzplatform::sim {

SimGround::SimGround(std::shared_ptr<Machine> machine)
    : machine_(std::move(machine)), tree_(std::make_shared<SimDeviceTree>(machine_)) {}

std::shared_ptr<FileObject> SimGround::OpenDevice(std::u16string_view path, DWORD access,
                                                  DWORD share, DWORD flags, bool* is_device,
                                                  DWORD* error) {
  return machine_->OpenDevice(path, access, share, flags, is_device, error);
}

std::shared_ptr<const Module> SimGround::FindModule(std::u16string_view name) {
  const std::u16string key = LowerAsciiText(std::u16string(name));
  // LoadLibraryW adds ".dll" to a name without an extension.
  if (key == u"hid.dll" || key == u"hid") return HidModule();
  return hidshared::FindTreeModule(key);
}

std::optional<RegistryKeyData> SimGround::ReadRegistryKey(HKEY root, std::u16string_view path) {
  return hidshared::ReadTreeKey(*tree_, root, path);
}

bool SimGround::GetVersion(OSVERSIONINFOEXW* info) { return machine_->GetVersion(info); }

void SimGround::GetLocalTime(SYSTEMTIME* time) { machine_->GetLocalTime(time); }

std::shared_ptr<Machine> Install(std::shared_ptr<Machine> machine) {
  if (!machine) machine = Machine::Default();
  // QZ_SIM_WOW64=1: the program is a 32-bit process on 64-bit Windows, whose device-state
  // changes go through the device helper.
  if (const char* wow64 = std::getenv("QZ_SIM_WOW64"); wow64 && std::string_view(wow64) == "1")
    machine->SetWow64(true);
  SetGround(std::make_shared<SimGround>(machine));
  return machine;
}

}  // namespace qzplatform::sim
