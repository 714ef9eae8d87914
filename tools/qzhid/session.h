// What a qzhid subcommand works with: its output streams and the discovered devices.
#pragma once

#include <chrono>
#include <functional>
#include <ostream>
#include <vector>

#include "command_line.h"
#include "devices.h"
#include "ground_choice.h"
#include "qzclasses/console_dispatcher.h"

namespace qzhid {

struct Session {
  const Invocation& inv;
  std::ostream& out;  // the data
  std::ostream& err;  // messages
  qz::ConsoleDispatcher& dispatcher;  // runs the component's hand-offs while we wait
  const Ground& ground;
  Devices devices;
};

// Receives each input report, as the HID component reads it, with its time since the
// reading started; called on the component's I/O thread while the main thread waits.
using ReportSink =
    std::function<void(std::chrono::microseconds time, const std::vector<std::uint8_t>& report)>;
// Reads the interface's input reports until --count of them, --timeout, Ctrl-C or its
// removal, and says on `err` which ended it. Throws Failure when the device refuses
// reading or goes away.
void ReadReports(Session& s, std::int32_t index, const ReportSink& sink);

// The whole report descriptor of the device behind `handle`; Failure where the system
// does not give it (Windows).
std::vector<std::uint8_t> ReportDescriptor(HANDLE handle);

// The subcommands; each throws UsageError or Failure.
void ListCommand(Session& s);
void InfoCommand(Session& s);
void DescriptorCommand(Session& s);
void ReadCommand(Session& s);
void WriteCommand(Session& s);
void GetFeatureCommand(Session& s);
void SetFeatureCommand(Session& s);
void GetInputCommand(Session& s);
void RecordCommand(Session& s);
void ReplayCommand(Session& s);

}  // namespace qzhid
