// What a qzhid subcommand works with: its output streams and the discovered devices.
#pragma once

#include <ostream>

#include "command_line.h"
#include "devices.h"
#include "qzclasses/console_dispatcher.h"

namespace qzhid {

struct Session {
  const Invocation& inv;
  std::ostream& out;  // the data
  std::ostream& err;  // messages
  qz::ConsoleDispatcher& dispatcher;  // runs the component's hand-offs while we wait
  Devices devices;
};

// The subcommands; each throws UsageError or Failure.
void ListCommand(Session& s);
void InfoCommand(Session& s);
void DescriptorCommand(Session& s);
void ReadCommand(Session& s);
void WriteCommand(Session& s);
void GetFeatureCommand(Session& s);
void SetFeatureCommand(Session& s);
void GetInputCommand(Session& s);

}  // namespace qzhid
