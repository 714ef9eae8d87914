// The simulated machine's devices: building interfaces from the descriptors, opens
// with Windows' access and sharing rules, input routing, feature and output reports.
#include "machine_state.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "device_file.h"
#include "field_error.h"
#include "qzplatform/hidshared/collection_kind.h"
#include "qzplatform/hidshared/report_routing.h"

namespace qzplatform::sim {
namespace {

constexpr std::size_t kOutputLogLength = 256;

using hidshared::KindOf;

std::vector<std::u16string> SplitInstanceId(const std::u16string& id) {
  std::vector<std::u16string> parts(1);
  for (char16_t c : id) {
    if (c == u'\\')
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

// A collection's instance ID: &COLnn after the device ID, the collection index as
// the instance's last four digits.
std::u16string CollectionInstanceId(const std::vector<std::u16string>& parts, std::size_t index,
                                    std::size_t count) {
  if (count == 1) return parts[0] + u"\\" + parts[1] + u"\\" + parts[2];
  std::u16string instance = parts[2];
  const std::size_t n = instance.size();
  const bool has_suffix =
      n >= 5 && instance[n - 5] == u'&' &&
      ParseUnsigned(std::u16string_view(instance).substr(n - 4), 16).has_value();
  if (has_suffix) instance.resize(n - 5);
  instance += Widen("&" + HexText(static_cast<unsigned>(index), 4));
  return parts[0] + u"\\" + parts[1] +
         Widen("&COL" + HexText(static_cast<unsigned>(index + 1), 2)) + u"\\" + instance;
}

std::u16string InterfacePathOf(const std::u16string& instance_id) {
  std::u16string path = u"\\\\?\\";
  for (char16_t c : LowerAsciiText(instance_id)) path += c == u'\\' ? u'#' : c;
  return path + u"#" + GuidText(kHidInterfaceGuid, true);
}

AccessModes Union(AccessModes a, AccessModes b) { return {a.read || b.read, a.write || b.write}; }

}  // namespace

bool SimInterface::Declares(HIDP_REPORT_TYPE type, std::uint8_t id) const {
  return hidshared::Declares(*data, type, id);
}

USHORT SimInterface::Length(HIDP_REPORT_TYPE type) const {
  return hidshared::ReportLength(*data, type);
}

OSVERSIONINFOEXW DefaultVersion() {
  OSVERSIONINFOEXW v{};
  v.dwOSVersionInfoSize = sizeof v;
  v.dwMajorVersion = 6;
  v.dwMinorVersion = 1;
  v.dwBuildNumber = 7601;
  v.dwPlatformId = VER_PLATFORM_WIN32_NT;
  const std::u16string sp = u"Service Pack 1";
  std::copy(sp.begin(), sp.end(), v.szCSDVersion);
  v.wServicePackMajor = 1;
  v.wSuiteMask = 0x0100;  // VER_SUITE_SINGLEUSERTS, as a workstation reports it
  v.wProductType = VER_NT_WORKSTATION;
  return v;
}

MachineState::MachineState(std::vector<DeviceDescription> descriptions) : version(DefaultVersion()) {
  devices.resize(descriptions.size());
  for (std::size_t i = 0; i < descriptions.size(); ++i) {
    devices[i].desc = std::move(descriptions[i]);
    Build(i);
  }
  std::set<std::string> names;
  std::map<std::u16string, unsigned> driver_numbers;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    SimDevice& d = devices[i];
    if (!names.insert(d.desc.name).second)
      ThrowFieldError(i, d.desc.name, "name", "the name is used by an earlier device");
    for (std::size_t c = 0; c < d.interfaces.size(); ++c) {
      SimInterface& itf = d.interfaces[c];
      auto [it, fresh] = paths_.emplace(itf.path_key, std::pair(i, c));
      if (!fresh)
        ThrowFieldError(i, d.desc.name, "enumeration.instance_id",
                        "gives the same device interface as device " +
                            std::to_string(it->second.first));
      if (itf.driver.empty()) {
        // Driver keys number the device nodes of each setup class.
        const std::u16string cls = GuidText(itf.class_guid);
        std::string number = std::to_string(driver_numbers[cls]++);
        number.insert(0, number.size() < 4 ? 4 - number.size() : 0, '0');
        itf.driver = cls + u"\\" + Widen(number);
      }
    }
  }
}

void MachineState::Build(std::size_t index) {
  SimDevice& d = devices[index];
  DeviceDescription& desc = d.desc;
  if (desc.name.empty()) desc.name = "device " + std::to_string(index);
  auto fail = [&](std::string_view field, const std::string& what) {
    ThrowFieldError(index, desc.name, field, what);
  };

  auto check_length = [&](const char* field, const std::optional<std::u16string>& s) {
    if (s && s->size() > kMaxStringLength)
      fail(field, "has " + std::to_string(s->size()) + " characters; USB strings hold at most " +
                      std::to_string(kMaxStringLength));
  };
  check_length("strings.product", desc.product);
  check_length("strings.manufacturer", desc.manufacturer);
  check_length("strings.serial", desc.serial);
  for (const auto& [i, s] : desc.indexed_strings) {
    const std::string field = "strings.indexed." + std::to_string(i);
    if (i == 0 || i > 255) fail(field, "string indexes run from 1 to 255");
    check_length(field.c_str(), s);
  }

  if (desc.report_descriptor.empty()) fail("report_descriptor", "is empty");
  hidparse::ParseResult parsed = hidparse::Parse(desc.report_descriptor);
  if (!parsed.ok())
    fail("report_descriptor",
         parsed.error + " (at byte " + std::to_string(parsed.error_offset) + ")");
  if (parsed.collections.empty()) fail("report_descriptor", "declares no top-level collection");
  const std::size_t count = parsed.collections.size();
  if (desc.collections.size() > count)
    fail("collections", std::to_string(desc.collections.size()) + " entries, but the report " +
                            "descriptor has " + std::to_string(count) + " top-level collection(s)");

  std::u16string instance_id = desc.enumeration.instance_id;
  if (instance_id.empty())
    instance_id =
        Widen("HID\\VID_" + HexText(desc.vendor_id, 4) + "&PID_" + HexText(desc.product_id, 4) +
              "\\7&" + HexText(0x1A2B3C4Du + static_cast<unsigned>(index) * 0x01010101u, 8) +
              "&0&0000");
  // A control character (a NUL above all) would cut the ID and the device path made from it.
  const auto control = std::find_if(instance_id.begin(), instance_id.end(),
                                    [](char16_t c) { return c < u' '; });
  if (control != instance_id.end())
    fail("enumeration.instance_id",
         "character " + std::to_string(control - instance_id.begin()) + " is a control character (" +
             HexText(*control, 2) + "h); instance IDs hold none");
  const std::vector<std::u16string> parts = SplitInstanceId(instance_id);
  if (parts.size() != 3 ||
      std::any_of(parts.begin(), parts.end(), [](const std::u16string& p) { return p.empty(); }))
    fail("enumeration.instance_id", "expected <enumerator>\\<device ID>\\<instance ID>");

  d.interfaces.resize(count);
  for (std::size_t c = 0; c < count; ++c) {
    SimInterface& itf = d.interfaces[c];
    itf.data = parsed.collections[c];
    itf.instance_id = CollectionInstanceId(parts, c, count);
    itf.path = InterfacePathOf(itf.instance_id);
    itf.path_key = LowerAsciiText(itf.path);
    const hidshared::CollectionKind kind = KindOf(itf.caps().UsagePage, itf.caps().Usage);
    const Enumeration& e = desc.enumeration;
    itf.class_guid = e.class_guid == GUID{} ? kind.class_guid : e.class_guid;
    itf.description = e.description.empty() ? kind.description : e.description;
    itf.manufacturer = e.manufacturer.empty() ? u"(Standard system devices)" : e.manufacturer;
    itf.service = e.service.empty() ? kind.service : e.service;
    itf.driver = count == 1 ? e.driver : u"";
    if (c < desc.collections.size()) {
      const CollectionDescription& o = desc.collections[c];
      if (o.class_guid) itf.class_guid = *o.class_guid;
      if (o.description) itf.description = *o.description;
      if (o.manufacturer) itf.manufacturer = *o.manufacturer;
      if (o.service) itf.service = *o.service;
      if (o.driver) itf.driver = *o.driver;
      itf.refuse = o.refuse;
    }
    const USHORT feature_length = itf.Length(HidP_Feature);
    for (std::uint8_t id : itf.data->report_ids[HidP_Feature]) {
      Report r(feature_length, 0);
      if (!r.empty()) r[0] = id;
      itf.features[id] = r;
    }
  }

  // Reports in the file carry their report ID first; each must belong to a collection.
  auto owner = [&](HIDP_REPORT_TYPE type, const Report& r,
                   const std::string& field) -> SimInterface* {
    if (r.empty()) fail(field, "is empty; a report starts with its report ID byte");
    for (SimInterface& itf : d.interfaces)
      if (itf.Declares(type, r[0])) {
        if (r.size() > itf.Length(type))
          fail(field, "is " + std::to_string(r.size()) + " bytes, longer than the report (" +
                          std::to_string(itf.Length(type)) + " bytes with its ID)");
        return &itf;
      }
    ThrowFieldError(index, desc.name, field,
                    "report ID " + std::to_string(r[0]) + " is not a" +
                        (type == HidP_Input ? "n input" : " feature") +
                        " report of the report descriptor");
  };
  for (std::size_t k = 0; k < desc.feature_reports.size(); ++k) {
    const Report& r = desc.feature_reports[k];
    SimInterface* itf = owner(HidP_Feature, r, "feature_reports[" + std::to_string(k) + "]");
    std::copy(r.begin(), r.end(), itf->features[r[0]].begin());
  }
  for (SimInterface& itf : d.interfaces) itf.initial_features = itf.features;
  for (std::size_t k = 0; k < desc.input_script.reports.size(); ++k)
    owner(HidP_Input, desc.input_script.reports[k],
          "input_script.reports[" + std::to_string(k) + "]");
  if (!desc.input_script.reports.empty() && desc.input_script.period.count() <= 0)
    fail("input_script.period_ms", "must be at least 1");

  d.behaviour = desc.behaviour;
}

SimDevice& MachineState::Device(std::size_t index) {
  if (index >= devices.size())
    throw std::out_of_range("no simulated device " + std::to_string(index));
  return devices[index];
}

const SimDevice& MachineState::Device(std::size_t index) const {
  return const_cast<MachineState*>(this)->Device(index);
}

bool MachineState::DeliverLocked(SimDevice& device, Report report, bool truncate) {
  if (device.behaviour.unplugged || report.empty()) return false;
  for (SimInterface& itf : device.interfaces) {
    if (!itf.Declares(HidP_Input, report[0])) continue;
    if (!Started(device, itf)) return false;  // no driver stack to take the report
    const USHORT length = itf.Length(HidP_Input);
    if (report.size() > length && !truncate) return false;
    // Windows hands every read a report of the collection's full input length.
    report.resize(length, 0);
    itf.last_input[report[0]] = report;
    for (const auto& weak : itf.files)
      if (auto file = weak.lock()) file->Deliver(report);
    return true;
  }
  return false;
}

void MachineState::UnplugLocked(SimDevice& device) {
  device.behaviour.unplugged = true;
  ++changes;
  ++device.generation;
  device.script_running = false;
  for (SimInterface& itf : device.interfaces) {
    for (const auto& weak : itf.files)
      if (auto file = weak.lock()) file->Disconnect();
    itf.files.clear();
  }
}

void MachineState::ReplugLocked(SimDevice& device) {
  device.behaviour.unplugged = false;
  ++changes;
  // A device plugged in again is detected anew, also after its nodes were removed.
  device.removed = false;
  for (SimInterface& itf : device.interfaces) itf.removed = false;
  // A device plugged in again starts from its power-on state.
  for (SimInterface& itf : device.interfaces) {
    itf.features = itf.initial_features;
    itf.last_input.clear();
  }
}

void MachineState::UpdateScriptLocked(SimDevice& device) {
  bool readers = false;
  for (SimInterface& itf : device.interfaces)
    for (const auto& weak : itf.files)
      if (auto file = weak.lock(); file && file->access().read && !file->closed()) readers = true;
  if (!readers || device.behaviour.unplugged) {
    device.script_running = false;
    return;
  }
  if (device.script_running || device.desc.input_script.reports.empty()) return;
  // A script starts from its first report when the device gains its first reader.
  device.script_running = true;
  device.script_next = 0;
  device.script_due = std::chrono::steady_clock::now() + device.desc.input_script.DelayBefore(0);
  script_cv.notify_all();
}

DWORD MachineState::Open(std::u16string_view path, DWORD access, DWORD share, bool overlapped,
                         const std::shared_ptr<MachineState>& self,
                         std::shared_ptr<DeviceFile>* file) {
  const auto found = paths_.find(LowerAsciiText(std::u16string(path)));
  if (found == paths_.end()) return ERROR_FILE_NOT_FOUND;
  const auto [i, c] = found->second;
  std::lock_guard lock(mutex);
  SimDevice& d = devices[i];
  SimInterface& itf = d.interfaces[c];
  if (d.behaviour.unplugged) return ERROR_FILE_NOT_FOUND;
  if (!Started(d, itf)) return ERROR_FILE_NOT_FOUND;  // disabled or removed: no interface
  if (d.behaviour.exclusive) return ERROR_SHARING_VIOLATION;
  const hidshared::Access asked = hidshared::AccessOf(access);
  const AccessModes want{asked.read, asked.write};
  const AccessModes refused = Union(d.behaviour.refuse, itf.refuse);
  if ((want.read && refused.read) || (want.write && refused.write)) return ERROR_ACCESS_DENIED;
  // Windows' sharing rules: only opens with read or write access take part.
  if (want.read || want.write)
    for (const auto& weak : itf.files) {
      auto other = weak.lock();
      if (!other || other->closed()) continue;
      const AccessModes has = other->access();
      if (!hidshared::SharingAllows(asked, share, {has.read, has.write}, other->share()))
        return ERROR_SHARING_VIOLATION;
    }
  *file = std::make_shared<DeviceFile>(self, FileTarget{i, c, d.generation, itf.generation},
                                       itf.data, want, share, overlapped);
  itf.files.push_back(*file);
  UpdateScriptLocked(d);
  return ERROR_SUCCESS;
}

void MachineState::Detach(const FileTarget& target, const DeviceFile* file) {
  std::lock_guard lock(mutex);
  if (target.device >= devices.size()) return;
  SimDevice& d = devices[target.device];
  auto& files = d.interfaces[target.collection].files;
  std::erase_if(files, [&](const std::weak_ptr<DeviceFile>& weak) {
    auto f = weak.lock();
    return !f || f.get() == file;
  });
  UpdateScriptLocked(d);
}

SimInterface* MachineState::ConnectedInterface(const FileTarget& target, DWORD* error) {
  SimDevice& d = devices[target.device];
  SimInterface& itf = d.interfaces[target.collection];
  if (d.behaviour.unplugged || d.generation != target.generation ||
      itf.generation != target.interface_generation || !Started(d, itf)) {
    *error = ERROR_DEVICE_NOT_CONNECTED;
    return nullptr;
  }
  *error = ERROR_SUCCESS;
  return &itf;
}

DWORD MachineState::Attributes(const FileTarget& target, HIDD_ATTRIBUTES* attributes) {
  std::lock_guard lock(mutex);
  DWORD error;
  if (!ConnectedInterface(target, &error)) return error;
  if (!attributes) return ERROR_NOACCESS;
  const DeviceDescription& desc = devices[target.device].desc;
  attributes->Size = sizeof(HIDD_ATTRIBUTES);
  attributes->VendorID = desc.vendor_id;
  attributes->ProductID = desc.product_id;
  attributes->VersionNumber = desc.version;
  return ERROR_SUCCESS;
}

DWORD MachineState::ReportDescriptor(const FileTarget& target,
                                     std::vector<std::uint8_t>* descriptor) {
  std::lock_guard lock(mutex);
  DWORD error;
  if (!ConnectedInterface(target, &error)) return error;
  *descriptor = devices[target.device].desc.report_descriptor;
  return ERROR_SUCCESS;
}

DWORD MachineState::String(const FileTarget& target, int kind, ULONG index, std::u16string* text) {
  std::lock_guard lock(mutex);
  DWORD error;
  if (!ConnectedInterface(target, &error)) return error;
  const DeviceDescription& desc = devices[target.device].desc;
  const std::optional<std::u16string>* found = nullptr;
  std::optional<std::u16string> indexed;
  switch (kind) {
    case 0: found = &desc.product; break;
    case 1: found = &desc.manufacturer; break;
    case 2: found = &desc.serial; break;
    default:
      if (auto it = desc.indexed_strings.find(index); it != desc.indexed_strings.end())
        indexed = it->second;
      found = &indexed;
  }
  // A device without the string stalls the request; Windows reports a device fault.
  if (!*found) return ERROR_GEN_FAILURE;
  *text = **found;
  return ERROR_SUCCESS;
}

DWORD MachineState::Preparsed(const FileTarget& target, PreparsedDataReply* reply) {
  std::lock_guard lock(mutex);
  DWORD error;
  SimInterface* itf = ConnectedInterface(target, &error);
  if (!itf) return error;
  const Behaviour& b = devices[target.device].behaviour;
  if (b.no_preparsed_data) return ERROR_GEN_FAILURE;
  *reply = {itf->data, b.fail_caps};
  return ERROR_SUCCESS;
}

DWORD MachineState::GetReport(const FileTarget& target, HIDP_REPORT_TYPE type, std::uint8_t* buffer,
                              ULONG length) {
  std::lock_guard lock(mutex);
  DWORD error;
  SimInterface* itf = ConnectedInterface(target, &error);
  if (!itf) return error;
  const USHORT size = itf->Length(type);
  if (size == 0) return ERROR_INVALID_FUNCTION;
  if (length < size) return ERROR_INVALID_PARAMETER;
  if (!buffer) return ERROR_NOACCESS;
  const std::uint8_t id = buffer[0];  // the caller names the report it wants
  if (!itf->Declares(type, id)) return ERROR_INVALID_PARAMETER;
  const auto& kept = type == HidP_Feature ? itf->features : itf->last_input;
  if (auto it = kept.find(id); it != kept.end()) {
    std::memcpy(buffer, it->second.data(), size);
  } else {
    std::memset(buffer, 0, size);
    buffer[0] = id;
  }
  return ERROR_SUCCESS;
}

DWORD MachineState::SetReport(const FileTarget& target, HIDP_REPORT_TYPE type,
                              const std::uint8_t* buffer, ULONG length, bool exact) {
  std::lock_guard lock(mutex);
  DWORD error;
  SimInterface* itf = ConnectedInterface(target, &error);
  if (!itf) return error;
  const USHORT size = itf->Length(type);
  if (size == 0) return ERROR_INVALID_FUNCTION;  // the collection has no such report
  if (exact ? length != size : length < size) return ERROR_INVALID_PARAMETER;
  if (!buffer) return ERROR_NOACCESS;
  if (!itf->Declares(type, buffer[0])) return ERROR_INVALID_PARAMETER;
  if (exact && devices[target.device].behaviour.hold_writes) return ERROR_IO_PENDING;
  Report report(buffer, buffer + size);
  if (type == HidP_Feature) {
    itf->features[buffer[0]] = std::move(report);
    return ERROR_SUCCESS;
  }
  SimDevice& d = devices[target.device];
  d.outputs.push_back(report);
  if (d.outputs.size() > kOutputLogLength) d.outputs.pop_front();
  if (d.behaviour.echo) DeliverLocked(d, std::move(report), true);
  return ERROR_SUCCESS;
}

}  // namespace qzplatform::sim
