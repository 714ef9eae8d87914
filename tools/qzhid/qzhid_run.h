// qzhid's entry point, callable from tests: what the program does for its arguments.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace qzhid {

// Runs the subcommand the arguments (after the program name) ask for, writing data to
// `out` and messages to `err`. Returns the exit status: 0 done, 1 failed, 2 bad usage.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace qzhid
