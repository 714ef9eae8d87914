// qzhid's entry point: parse, install the ground, run the subcommand, map errors to the
// exit status.
#include "qzhid_run.h"

#include <exception>

#include "command_line.h"
#include "ground_choice.h"
#include "qzclasses/console_dispatcher.h"
#include "qzclasses/errors.h"
#include "qzclasses/text.h"
#include "session.h"

namespace qzhid {
namespace {

struct Entry {
  const char* name;
  void (*run)(Session&);
};

const Entry kEntries[] = {
    {"list", &ListCommand},
    {"info", &InfoCommand},
    {"descriptor", &DescriptorCommand},
    {"read", &ReadCommand},
    {"write", &WriteCommand},
    {"get-feature", &GetFeatureCommand},
    {"set-feature", &SetFeatureCommand},
    {"get-input", &GetInputCommand},
    {"record", &RecordCommand},
    {"replay", &ReplayCommand},
};

int Dispatch(const Invocation& inv, std::ostream& out, std::ostream& err) {
  const Ground ground = inv.command == "replay" ? InstallReplayGround(inv) : InstallGround(inv);
  if (!ground.note.empty()) err << "qzhid: " << ground.note << "\n";
  qz::ConsoleDispatcher dispatcher;
  Session session{inv, out, err, dispatcher, ground, {}};
  for (const Entry& e : kEntries) {
    if (inv.command == e.name) e.run(session);
  }
  out.flush();
  if (!out) throw Failure("cannot write the output");
  return 0;
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    const Invocation inv = ParseCommandLine(args);
    if (inv.help || inv.command == "help") {
      out << UsageText();
      return 0;
    }
    if (inv.command.empty()) throw UsageError("no subcommand given");
    return Dispatch(inv, out, err);
  } catch (const UsageError& e) {
    err << "qzhid: " << e.what() << "\n(qzhid help shows the usage)\n";
    return 2;
  } catch (const Failure& e) {
    err << "qzhid: " << e.what() << "\n";
    return 1;
  } catch (const qz::Error& e) {
    err << "qzhid: " << qz::TextToUtf8(e.Message()) << "\n";
    return 1;
  } catch (const std::exception& e) {
    err << "qzhid: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace qzhid
