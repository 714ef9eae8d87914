// QZ_TRACE's switch, read once at start-up, and the formatting of its lines.
#include "qzplatform/trace.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "qzplatform/ground.h"

namespace qzplatform::trace {
namespace {

unsigned FromEnvironment() {
  const char* families = std::getenv("QZ_TRACE");
  return families ? ParseFamilies(families) : 0;
}

}  // namespace

std::atomic<unsigned> enabled{FromEnvironment()};

unsigned ParseFamilies(std::string_view families) {
  if (families == "1" || families == "all") return kHid | kSetupApi | kCfgMgr | kFile;
  unsigned mask = 0;
  while (!families.empty()) {
    const std::size_t comma = families.find(',');
    const std::string_view name = families.substr(0, comma);
    if (name == "hid") mask |= kHid;
    if (name == "setupapi") mask |= kSetupApi;
    if (name == "cfgmgr") mask |= kCfgMgr;
    if (name == "file") mask |= kFile;
    families = comma == std::string_view::npos ? std::string_view() : families.substr(comma + 1);
  }
  return mask;
}

void Append(std::string& line, long long value) { line += std::to_string(value); }

void Append(std::string& line, unsigned long long value) { line += std::to_string(value); }

void Append(std::string& line, const void* pointer) {
  if (!pointer) {
    line += "null";
    return;
  }
  char text[2 + 16 + 1];
  std::snprintf(text, sizeof text, "0x%" PRIxPTR, reinterpret_cast<std::uintptr_t>(pointer));
  line += text;
}

void Append(std::string& line, const WCHAR* text) {
  if (!text) {
    line += "null";
    return;
  }
  line += '"';
  line += ToUtf8(text);
  line += '"';
}

void Write(std::string_view call, std::string_view args, std::string_view result) {
  std::string line = "qz-trace ";
  line.append(call).append("(").append(args).append(")");
  if (!result.empty()) line.append(" -> ").append(result);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace qzplatform::trace
