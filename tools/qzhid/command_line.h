// qzhid's command line: global options, the subcommand, its options and arguments.
#pragma once

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace qzhid {

// Bad usage: the message is printed with the usage text and the program exits with 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The operation failed: the message is printed and the program exits with 1.
class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Invocation {
  std::string command;                        // empty: none given
  std::vector<std::string> args;              // the subcommand's positional arguments
  std::set<std::string> flags;                // "--pad", ...
  std::map<std::string, std::string> values;  // "--count" -> "5", ...
  std::string platform;                       // "sim", "linux" or empty
  std::string simFile;
  bool json = false;
  bool help = false;

  bool Has(const std::string& flag) const { return flags.count(flag) != 0; }
  // The option's value, or nullptr when it was not given.
  const std::string* Value(const std::string& option) const;
};

// Parses the arguments after the program name. Global options may stand anywhere.
// Throws UsageError for an unknown subcommand or option, a missing option value, or a
// wrong number of arguments.
Invocation ParseCommandLine(const std::vector<std::string>& args);

std::string UsageText();

}  // namespace qzhid
