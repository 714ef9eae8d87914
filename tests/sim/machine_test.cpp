// Machine state for tests: the version record, the clock, input scripts and their
// thread, and switching the machine off with handles still open.
#include <cstring>

#include "sim_fixture.h"
#include "test_devices.h"

namespace simtest {
namespace {

using namespace std::chrono_literals;

// A one-byte vendor device whose script sends 00 01, 00 02, 00 03.
std::string ScriptedDevice(int period_ms, bool repeat) {
  return R"({"devices": [{"name": "scripted", "vendor_id": 1, "product_id": 2,
      "report_descriptor": "06 00 FF 09 01 A1 01 15 00 26 FF 00 75 08 95 01 09 01 81 02 C0",
      "input_script": {"period_ms": )" +
         std::to_string(period_ms) + R"(, "repeat": )" + (repeat ? "true" : "false") +
         R"(, "reports": ["00 01", "00 02", "00 03"]}}]})";
}

class MachineTest : public SimTest {
 protected:
  // The next report on `h`, or 0 when none came within the timeout.
  int NextByte(HANDLE h, std::chrono::milliseconds timeout = 5s) {
    PendingRead read(h, 2);
    if (!read.Wait(timeout) || read.Error() != 0) return 0;
    return read.buffer[1];
  }
};

TEST_F(MachineTest, VersionRecordDefaultsToWindows7Sp1AndCanBeSet) {
  UseDefault();
  OSVERSIONINFOEXW v{};
  v.dwOSVersionInfoSize = sizeof v;
  ASSERT_TRUE(GetVersionExW(&v));
  EXPECT_EQ(v.dwMajorVersion, 6u);
  EXPECT_EQ(v.dwMinorVersion, 1u);
  EXPECT_EQ(v.dwBuildNumber, 7601u);
  EXPECT_EQ(v.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
  EXPECT_EQ(std::u16string(qzplatform::AsChar16(v.szCSDVersion)), u"Service Pack 1");
  EXPECT_EQ(v.wServicePackMajor, 1);
  EXPECT_EQ(v.wProductType, VER_NT_WORKSTATION);
  EXPECT_EQ(v.dwOSVersionInfoSize, sizeof v);

  OSVERSIONINFOEXW xp{};
  xp.dwMajorVersion = 5;
  xp.dwMinorVersion = 1;
  xp.dwBuildNumber = 2600;
  xp.wServicePackMajor = 3;
  machine_->SetVersion(xp);
  // The short record: nothing is written past szCSDVersion.
  OSVERSIONINFOEXW shortv;
  std::memset(&shortv, 0xAB, sizeof shortv);
  shortv.dwOSVersionInfoSize = 276;
  ASSERT_TRUE(GetVersionExW(&shortv));
  EXPECT_EQ(shortv.dwMajorVersion, 5u);
  EXPECT_EQ(shortv.dwBuildNumber, 2600u);
  EXPECT_EQ(shortv.wServicePackMajor, 0xABAB);
  EXPECT_EQ(shortv.dwOSVersionInfoSize, 276u);
}

TEST_F(MachineTest, ClockIsRealUntilSet) {
  UseDefault();
  SYSTEMTIME fixed{2011, 2, 2, 15, 13, 45, 30, 250};
  machine_->SetLocalTime(fixed);
  SYSTEMTIME t{};
  GetLocalTime(&t);
  EXPECT_EQ(std::memcmp(&t, &fixed, sizeof t), 0);
  machine_->UseRealClock();
  GetLocalTime(&t);
  EXPECT_GE(t.wYear, 2024);
}

TEST_F(MachineTest, ScriptStartsWithTheFirstReaderAndRestartsOnReopen) {
  Load(ScriptedDevice(2, false));
  {
    Handle h = Open(Path(0), GENERIC_READ);
    EXPECT_EQ(NextByte(h.get()), 1);
    EXPECT_EQ(NextByte(h.get()), 2);
    EXPECT_EQ(NextByte(h.get()), 3);
    // Twenty-five periods without a fourth report: the script ran once.
    EXPECT_EQ(NextByte(h.get(), 50ms), 0);
  }
  Handle again = Open(Path(0), GENERIC_READ);
  EXPECT_EQ(NextByte(again.get()), 1);
}

TEST_F(MachineTest, RepeatingScriptCyclesUntilUnplugged) {
  Load(ScriptedDevice(1, true));
  Handle h = Open(Path(0), GENERIC_READ);
  std::vector<int> seen;
  for (int i = 0; i < 7; ++i) seen.push_back(NextByte(h.get()));
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 1, 2, 3, 1}));
  machine_->Unplug(0);
  PendingRead read(h.get(), 2);
  EXPECT_EQ(read.start_error, static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
}

TEST_F(MachineTest, SwitchingOffFailsOpenHandlesAndStopsTheThread) {
  // A scripted device keeps the machine thread busy; an idle one has a read waiting.
  std::string json = ScriptedDevice(1, true);
  json.insert(json.rfind(']'), R"(, {"name": "idle", "vendor_id": 1, "product_id": 3,
      "report_descriptor": "06 00 FF 09 01 A1 01 15 00 26 FF 00 75 08 95 01 09 01 81 02 C0"})");
  Load(json);
  Handle scripted = Open(Path(0), GENERIC_READ);
  Handle idle = Open(Path(1), GENERIC_READ);
  ASSERT_NE(NextByte(scripted.get()), 0) << "the script thread runs";
  PendingRead read(idle.get(), 2);
  ASSERT_TRUE(read.pending());
  qzplatform::SetGround(nullptr);
  machine_.reset();  // joins the script thread
  EXPECT_FALSE(read.pending());
  EXPECT_EQ(read.Error(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
  EXPECT_EQ(read.buffer, Bytes(2, 0xCC));
  PendingRead after(scripted.get(), 2);
  EXPECT_EQ(after.start_error, static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
}

}  // namespace
}  // namespace simtest
