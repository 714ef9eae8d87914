// The simulated machine's state behind one lock: devices, their interfaces (one per
// top-level collection), open device files, feature reports and input scripts.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "hidparse/hidparse.h"
#include "qzplatform/sim/machine.h"

namespace qzplatform::sim {

class DeviceFile;
using Report = std::vector<std::uint8_t>;

struct SimInterface {
  std::shared_ptr<const hidparse::PreparsedData> data;
  std::u16string path;
  std::u16string path_key;  // lower case: device names compare case-insensitively
  std::u16string instance_id;
  GUID class_guid{};
  std::u16string description, manufacturer, service, driver;
  AccessModes refuse;                               // the collection's own, added to the device's
  std::map<std::uint8_t, Report> features;          // full-length feature report per ID
  std::map<std::uint8_t, Report> initial_features;  // what a replug restores
  std::map<std::uint8_t, Report> last_input;        // what HidD_GetInputReport answers
  std::vector<std::weak_ptr<DeviceFile>> files;
  // The collection's HID device node: disabled or removed by the class installer.
  // Each stop of its interface starts a new generation; older handles stay dead.
  bool disabled = false;
  bool removed = false;
  std::uint64_t generation = 0;

  const HIDP_CAPS& caps() const { return data->caps; }
  bool Declares(HIDP_REPORT_TYPE type, std::uint8_t id) const;
  USHORT Length(HIDP_REPORT_TYPE type) const;
};

struct SimDevice {
  DeviceDescription desc;
  Behaviour behaviour;
  std::vector<SimInterface> interfaces;
  // Handles opened before an unplug belong to an earlier generation and stay dead.
  std::uint64_t generation = 0;
  bool disabled = false;  // the device's USB node, by the class installer
  bool removed = false;
  std::deque<Report> outputs;
  bool script_running = false;
  std::size_t script_next = 0;
  std::chrono::steady_clock::time_point script_due{};
};

// Identifies what a device file was opened on.
struct FileTarget {
  std::size_t device = 0;
  std::size_t collection = 0;
  std::uint64_t generation = 0;
  std::uint64_t interface_generation = 0;
};

// What a device hands HidD_GetPreparsedData: its parsed descriptor, and whether the
// token made for it is to fail every query (Behaviour::fail_caps).
struct PreparsedDataReply {
  std::shared_ptr<const hidparse::PreparsedData> data;
  bool corrupt = false;
};

class MachineState {
 public:
  // Validates the descriptions and parses their descriptors; throws LoadError.
  explicit MachineState(std::vector<DeviceDescription> descriptions);

  mutable std::mutex mutex;
  std::condition_variable script_cv;
  bool stopping = false;  // set once, when the machine is destroyed
  std::vector<SimDevice> devices;
  // Plugs, unplugs and node changes so far (Machine::ChangeCount).
  std::uint64_t changes = 0;
  OSVERSIONINFOEXW version{};
  std::optional<SYSTEMTIME> clock;
  // The process as the class installer sees it, what it changed, and the temporary folder.
  bool wow64 = false;
  bool elevated = true;
  std::vector<PropertyChange> property_changes;
  std::u16string temp_folder;

  // With the lock held.
  SimDevice& Device(std::size_t index);
  const SimDevice& Device(std::size_t index) const;
  bool DeliverLocked(SimDevice& device, Report report, bool truncate);
  void UnplugLocked(SimDevice& device);
  void ReplugLocked(SimDevice& device);
  void UpdateScriptLocked(SimDevice& device);
  // Whether the collection has its device interface now: plugged in, and neither its
  // node nor its device's node disabled or removed.
  static bool Started(const SimDevice& device, const SimInterface& itf);
  // Ends the interface's handles (their transfers fail as on an unplugged device).
  void StopInterfaceLocked(SimDevice& device, SimInterface& itf);
  // A class installer's change of the USB node (collection Machine::kDeviceNode) or a
  // collection's HID node.
  void ChangeNodeLocked(std::size_t device, std::size_t collection, Machine::NodeChange change);

  // Device-file requests; each takes the lock and answers 0 or a Win32 error code.
  DWORD Open(std::u16string_view path, DWORD access, DWORD share, bool overlapped,
             const std::shared_ptr<MachineState>& self, std::shared_ptr<DeviceFile>* file);
  void Detach(const FileTarget& target, const DeviceFile* file);
  DWORD Attributes(const FileTarget& target, HIDD_ATTRIBUTES* attributes);
  DWORD ReportDescriptor(const FileTarget& target, std::vector<std::uint8_t>* descriptor);
  // kind: 0 product, 1 manufacturer, 2 serial number, 3 indexed string `index`.
  DWORD String(const FileTarget& target, int kind, ULONG index, std::u16string* text);
  DWORD Preparsed(const FileTarget& target, PreparsedDataReply* reply);
  DWORD GetReport(const FileTarget& target, HIDP_REPORT_TYPE type, std::uint8_t* buffer,
                  ULONG length);
  // `exact`: WriteFile wants exactly the report length, the HidD_ calls at least it.
  // ERROR_IO_PENDING: the write is to be held (Behaviour::hold_writes).
  DWORD SetReport(const FileTarget& target, HIDP_REPORT_TYPE type, const std::uint8_t* buffer,
                  ULONG length, bool exact);

 private:
  // Every interface's device and collection by its lower-case path (fixed after loading).
  std::map<std::u16string, std::pair<std::size_t, std::size_t>> paths_;
  // The interface a file was opened on while it is still connected and started, else
  // null with ERROR_DEVICE_NOT_CONNECTED (unplugged, replaced or stopped since).
  SimInterface* ConnectedInterface(const FileTarget& target, DWORD* error);
  void Build(std::size_t index);
};

// Windows 7 SP1 workstation.
OSVERSIONINFOEXW DefaultVersion();

}  // namespace qzplatform::sim
