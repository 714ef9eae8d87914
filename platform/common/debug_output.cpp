// Debugger output: captured for tests, or shown on standard error on request.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include "qzplatform/ground.h"
#include "qzplatform/test_hooks.h"

namespace qzplatform {
namespace {

struct DebugOutput {
  std::mutex mutex;
  bool capture = false;
  std::vector<std::u16string> captured;
};

DebugOutput& Output() {
  static DebugOutput output;
  return output;
}

}  // namespace

void CaptureDebugOutput(bool on) {
  std::lock_guard lock(Output().mutex);
  Output().capture = on;
  Output().captured.clear();
}

std::vector<std::u16string> TakeDebugOutput() {
  std::lock_guard lock(Output().mutex);
  return std::exchange(Output().captured, {});
}

}  // namespace qzplatform

void WINAPI OutputDebugStringW(LPCWSTR lpOutputString) {
  if (!lpOutputString) return;
  auto& out = qzplatform::Output();
  std::lock_guard lock(out.mutex);
  if (out.capture) {
    out.captured.emplace_back(qzplatform::AsChar16(lpOutputString));
    return;
  }
  static const bool to_stderr = [] {
    const char* v = std::getenv("QZ_DEBUG_OUTPUT");
    return v && std::strcmp(v, "1") == 0;
  }();
  if (to_stderr)
    std::fprintf(stderr, "%s\n", qzplatform::ToUtf8(qzplatform::AsChar16(lpOutputString)).c_str());
}
