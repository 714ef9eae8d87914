// The machine's public face: loading, scripting by tests, the input-script thread.
#include "qzplatform/sim/machine.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "device_file.h"
#include "machine_state.h"

namespace qzplatform::sim {

Machine::Machine(std::shared_ptr<MachineState> state) : state_(std::move(state)) {
  script_thread_ = std::thread([this] { RunScripts(); });
}

std::shared_ptr<Machine> Machine::Create(std::vector<DeviceDescription> devices) {
  auto state = std::make_shared<MachineState>(std::move(devices));
  return std::shared_ptr<Machine>(new Machine(std::move(state)));
}

std::shared_ptr<Machine> Machine::LoadJson(std::string_view json_text) {
  return Create(ParseDeviceList(json_text));
}

std::shared_ptr<Machine> Machine::LoadFile(const std::filesystem::path& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec))
    throw LoadError(path.string() + ": is a folder, not a device file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw LoadError(path.string() + ": cannot read the file: " + std::strerror(errno));
  // Read by pieces up to one byte over the limit: a device (/dev/zero) may never end.
  std::string text;
  char piece[65536];
  while (text.size() <= kMaxDeviceFileBytes && in.read(piece, sizeof piece).gcount() > 0)
    text.append(piece, static_cast<std::size_t>(in.gcount()));
  if (in.bad()) throw LoadError(path.string() + ": cannot read the file: " + std::strerror(errno));
  if (text.size() > kMaxDeviceFileBytes)
    throw LoadError(path.string() + ": is larger than " +
                    std::to_string(kMaxDeviceFileBytes >> 20) + " MiB; that is no device file");
  try {
    return Create(ParseDeviceList(text, path.parent_path()));
  } catch (const LoadError& e) {
    throw LoadError(path.string() + ": " + e.what());
  }
}

std::shared_ptr<Machine> Machine::Default() { return LoadJson(DefaultDeviceListJson()); }

Machine::~Machine() {
  {
    std::lock_guard lock(state_->mutex);
    state_->stopping = true;
    // Switching the machine off: handles still open fail as on an unplugged device.
    for (SimDevice& d : state_->devices) state_->UnplugLocked(d);
  }
  state_->script_cv.notify_all();
  script_thread_.join();
}

// Sends each running script's due reports, then sleeps until the next one is due or
// the scripts change.
void Machine::RunScripts() {
  using Clock = std::chrono::steady_clock;
  MachineState& s = *state_;
  std::unique_lock lock(s.mutex);
  while (!s.stopping) {
    const auto now = Clock::now();
    std::optional<Clock::time_point> next;
    for (SimDevice& d : s.devices) {
      if (!d.script_running) continue;
      const InputScript& script = d.desc.input_script;
      if (d.script_due <= now) {
        s.DeliverLocked(d, script.reports[d.script_next], false);
        if (++d.script_next == script.reports.size()) {
          d.script_next = 0;
          d.script_running = script.repeat;
        }
        const auto delay = script.DelayBefore(d.script_next);
        d.script_due += delay;
        if (d.script_due < now) d.script_due = now + delay;  // no burst after a stall
      }
      if (d.script_running && (!next || d.script_due < *next)) next = d.script_due;
    }
    if (next)
      s.script_cv.wait_until(lock, *next);
    else
      s.script_cv.wait(lock);
  }
}

std::size_t Machine::DeviceCount() const { return state_->devices.size(); }

std::size_t Machine::FindDevice(std::string_view name) const {
  for (std::size_t i = 0; i < state_->devices.size(); ++i)
    if (state_->devices[i].desc.name == name) return i;
  throw std::out_of_range("no simulated device named \"" + std::string(name) + "\"");
}

const DeviceDescription& Machine::Description(std::size_t device) const {
  return state_->Device(device).desc;  // fixed after loading
}

std::size_t Machine::CollectionCount(std::size_t device) const {
  return state_->Device(device).interfaces.size();
}

std::u16string Machine::InterfacePath(std::size_t device, std::size_t collection) const {
  const SimDevice& d = state_->Device(device);
  if (collection >= d.interfaces.size())
    throw std::out_of_range("device " + std::to_string(device) + " has no collection " +
                            std::to_string(collection));
  return d.interfaces[collection].path;
}

std::vector<InterfaceInfo> Machine::Interfaces(bool present_only) const {
  std::lock_guard lock(state_->mutex);
  std::vector<InterfaceInfo> result;
  for (std::size_t i = 0; i < state_->devices.size(); ++i) {
    const SimDevice& d = state_->devices[i];
    if (present_only && d.behaviour.unplugged) continue;
    for (std::size_t c = 0; c < d.interfaces.size(); ++c) {
      const SimInterface& itf = d.interfaces[c];
      result.push_back({i, c, d.desc.name, itf.path, itf.instance_id, d.desc.vendor_id,
                        d.desc.product_id, d.desc.version, itf.class_guid, itf.description,
                        itf.manufacturer, itf.service, itf.driver, itf.caps(),
                        !d.behaviour.unplugged});
      InterfaceInfo& info = result.back();
      info.enabled = !itf.disabled;
      info.removed = itf.removed;
      info.device_enabled = !d.disabled;
      info.device_removed = d.removed;
    }
  }
  return result;
}

std::uint64_t Machine::ChangeCount() const {
  std::lock_guard lock(state_->mutex);
  return state_->changes;
}

bool Machine::PushInput(std::size_t device, std::vector<std::uint8_t> report) {
  std::lock_guard lock(state_->mutex);
  return state_->DeliverLocked(state_->Device(device), std::move(report), false);
}

bool Machine::StreamInput(std::size_t device, std::vector<std::uint8_t> report,
                          std::uint64_t count) {
  std::lock_guard lock(state_->mutex);
  SimDevice& d = state_->Device(device);
  if (d.behaviour.unplugged || report.empty()) return false;
  for (SimInterface& itf : d.interfaces) {
    if (!itf.Declares(HidP_Input, report[0])) continue;
    const USHORT length = itf.Length(HidP_Input);
    if (report.size() > length) return false;
    report.resize(length, 0);
    itf.last_input[report[0]] = report;
    for (const auto& weak : itf.files)
      if (auto file = weak.lock()) file->Stream(report, count);
    return true;
  }
  return false;
}

std::vector<std::vector<std::uint8_t>> Machine::TakeOutputReports(std::size_t device) {
  std::lock_guard lock(state_->mutex);
  auto& outputs = state_->Device(device).outputs;
  std::vector<std::vector<std::uint8_t>> result(outputs.begin(), outputs.end());
  outputs.clear();
  return result;
}

std::vector<std::uint8_t> Machine::FeatureReport(std::size_t device, std::uint8_t report_id) const {
  std::lock_guard lock(state_->mutex);
  for (const SimInterface& itf : state_->Device(device).interfaces)
    if (auto it = itf.features.find(report_id); it != itf.features.end()) return it->second;
  return {};
}

void Machine::Unplug(std::size_t device) {
  std::lock_guard lock(state_->mutex);
  SimDevice& d = state_->Device(device);
  if (!d.behaviour.unplugged) state_->UnplugLocked(d);
}

void Machine::Replug(std::size_t device) {
  std::lock_guard lock(state_->mutex);
  SimDevice& d = state_->Device(device);
  if (d.behaviour.unplugged) state_->ReplugLocked(d);
}

Behaviour Machine::GetBehaviour(std::size_t device) const {
  std::lock_guard lock(state_->mutex);
  return state_->Device(device).behaviour;
}

void Machine::SetBehaviour(std::size_t device, const Behaviour& behaviour) {
  std::lock_guard lock(state_->mutex);
  SimDevice& d = state_->Device(device);
  if (behaviour.unplugged && !d.behaviour.unplugged) state_->UnplugLocked(d);
  if (!behaviour.unplugged && d.behaviour.unplugged) state_->ReplugLocked(d);
  // Open handles keep what they were granted; the new flags rule later requests.
  d.behaviour = behaviour;
}

void Machine::SetVersion(const OSVERSIONINFOEXW& version) {
  std::lock_guard lock(state_->mutex);
  state_->version = version;
}

void Machine::SetLocalTime(const SYSTEMTIME& time) {
  std::lock_guard lock(state_->mutex);
  state_->clock = time;
}

void Machine::UseRealClock() {
  std::lock_guard lock(state_->mutex);
  state_->clock.reset();
}

bool Machine::GetVersion(OSVERSIONINFOEXW* info) const {
  std::lock_guard lock(state_->mutex);
  // The caller's size says which record it has: OSVERSIONINFOW ends after szCSDVersion.
  const DWORD size = info->dwOSVersionInfoSize;
  const std::size_t count = size < sizeof(OSVERSIONINFOEXW)
                                ? offsetof(OSVERSIONINFOEXW, wServicePackMajor)
                                : sizeof(OSVERSIONINFOEXW);
  std::memcpy(info, &state_->version, count);
  info->dwOSVersionInfoSize = size;
  return true;
}

void Machine::GetLocalTime(SYSTEMTIME* time) const {
  {
    std::lock_guard lock(state_->mutex);
    if (state_->clock) {
      *time = *state_->clock;
      return;
    }
  }
  SystemLocalTime(time);
}

std::shared_ptr<FileObject> Machine::OpenDevice(std::u16string_view path, DWORD access, DWORD share,
                                                DWORD flags, bool* is_device, DWORD* error) {
  // Names in the device namespace (\\?\ or \\.\ not followed by a drive letter) are
  // the machine's; a device it does not have is not found, never a regular file.
  const bool device_namespace = path.size() >= 4 && path[0] == u'\\' && path[1] == u'\\' &&
                                (path[2] == u'?' || path[2] == u'.') && path[3] == u'\\' &&
                                !(path.size() >= 6 && path[5] == u':');
  *is_device = device_namespace;
  if (!device_namespace) return nullptr;
  std::shared_ptr<DeviceFile> file;
  *error = state_->Open(path, access, share, (flags & FILE_FLAG_OVERLAPPED) != 0, state_, &file);
  return file;
}

}  // namespace qzplatform::sim
