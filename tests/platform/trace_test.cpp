// QZ_TRACE: a traced call writes its line only when its family is switched on.
#include <gtest/gtest.h>

#include "qzplatform/trace.h"

namespace {

using qzplatform::trace::enabled;
using qzplatform::trace::ParseFamilies;

// Runs a CreateFileW that fails on a missing file with the families `families` on, and
// returns what it wrote to standard error.
std::string TraceOfFailedOpen(const char* families) {
  const unsigned saved = enabled.exchange(ParseFamilies(families));
  testing::internal::CaptureStderr();
  HANDLE h = CreateFileW(u"/nonexistent-qz/trace", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  std::string text = testing::internal::GetCapturedStderr();
  enabled = saved;
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND)) << "the trace kept the error";
  return text;
}

TEST(Trace, SwitchedOnFamilyWritesOneLineWithArgumentsResultAndError) {
  EXPECT_EQ(TraceOfFailedOpen("hid,file"),
            "qz-trace CreateFileW(\"/nonexistent-qz/trace\", 2147483648, 0, null, 3, 0, null)"
            " -> 0xffffffffffffffff error=3\n");
}

TEST(Trace, OtherFamiliesOrOffWriteNothing) {
  EXPECT_EQ(TraceOfFailedOpen("hid,setupapi,cfgmgr"), "");
  EXPECT_EQ(TraceOfFailedOpen(""), "");
}

TEST(Trace, OneOrAllSwitchesOnEveryFamily) {
  using namespace qzplatform::trace;
  EXPECT_EQ(ParseFamilies("1"), ParseFamilies("hid,setupapi,cfgmgr,file"));
  EXPECT_EQ(ParseFamilies("all"), unsigned{kHid | kSetupApi | kCfgMgr | kFile});
  EXPECT_EQ(ParseFamilies("file,bogus"), unsigned{kFile});
}

}  // namespace
