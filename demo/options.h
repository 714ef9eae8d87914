// The demo's command line.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "presenter/memo_limit.h"

namespace demo {

struct Options {
  bool list = false;     // print the devices instead of opening the window
  bool help = false;
  std::string platform;  // "sim" or "linux"; empty: QZ_PLATFORM, else the native ground
  std::string simFile;   // a device description file for the sim ground
  std::size_t memoLines = MemoLimit::kDefaultLines;  // the memo keeps the newest lines
};

// The most lines --memo-lines accepts.
inline constexpr std::size_t kMaxMemoLines = 10000000;

// Parses the arguments after the program name; false with `error` for anything unknown.
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error);
std::string UsageText();

}  // namespace demo
