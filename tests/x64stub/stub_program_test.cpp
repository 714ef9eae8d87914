// The helper program itself, started as a process on the sim ground: its exit codes,
// and its state changes reaching the simulated machine of the test that started it.
#include <gtest/gtest.h>

#include <string>

#include "qzplatform/setupapi.h"
#include "qzplatform/sim/sim_ground.h"
#include "qzwin32/qzwin32.h"

namespace {

using qzplatform::sim::Machine;

constexpr const char* kDevice = R"({"devices": [{"name": "pad", "vendor_id": "0x1234",
  "product_id": "0x5678", "report_descriptor":
  "06 00 FF 09 01 A1 01 15 00 26 FF 00 75 08 95 08 09 02 81 02 C0"}]})";

std::u16string Quoted(const std::u16string& text) {
  std::u16string quoted;
  EXPECT_TRUE(qz::QuoteArgument(text, &quoted));
  return quoted;
}

// Runs the helper with `arguments` and gives its exit code.
DWORD RunHelper(const std::u16string& arguments) {
  qz::RunProcess(Quoted(qzplatform::FromUtf8(QZ_X64STUB_PATH)) + u" " + arguments, u"", true, true);
  return GetLastError();
}

class StubProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    machine = qzplatform::sim::Install(Machine::LoadJson(kDevice));
    id = machine->Interfaces()[0].instance_id;
    path = machine->Interfaces()[0].path;
  }
  void TearDown() override { qzplatform::SetGround(nullptr); }

  std::u16string StateArguments(const std::u16string& code) {
    return Quoted(id) + u" " + code + u" \"{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}\"";
  }
  bool Opens() {
    HANDLE h = CreateFileW(qzplatform::AsWide(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
  }

  std::shared_ptr<Machine> machine;
  std::u16string id, path;
};

TEST_F(StubProgram, ExitsWith87ForNoneOneOrFiveArguments) {
  EXPECT_EQ(RunHelper(u""), 87u);
  EXPECT_EQ(RunHelper(Quoted(id)), 87u);
  EXPECT_EQ(RunHelper(u"a b c d \"e f\""), 87u);
  EXPECT_TRUE(machine->TakePropertyChanges().empty());
}

TEST_F(StubProgram, ChangesTheStatesOfItsStartersDevices) {
  EXPECT_EQ(RunHelper(StateArguments(u"2")), 0u);
  EXPECT_FALSE(machine->NodeEnabled(0, 0));
  EXPECT_FALSE(Opens());
  EXPECT_EQ(RunHelper(StateArguments(u"1")), 0u);
  EXPECT_TRUE(machine->NodeEnabled(0, 0));
  EXPECT_TRUE(Opens());
  const auto changes = machine->TakePropertyChanges();
  ASSERT_EQ(changes.size(), 3u);
  EXPECT_EQ(changes[0].instance_id, id);
  EXPECT_EQ(changes[0].state, DICS_DISABLE);
  EXPECT_EQ(changes[0].scope, DICS_FLAG_CONFIGSPECIFIC);
  EXPECT_EQ(changes[1].state, DICS_ENABLE);
  EXPECT_EQ(changes[1].scope, DICS_FLAG_GLOBAL);
  EXPECT_EQ(changes[2].scope, DICS_FLAG_CONFIGSPECIFIC);
  for (const auto& c : changes) EXPECT_TRUE(c.helper);
}

TEST_F(StubProgram, IsNotRefusedWhereItsStarterIs) {
  machine->SetWow64(true);
  EXPECT_EQ(RunHelper(StateArguments(u"x")), 0u);
  const auto changes = machine->TakePropertyChanges();
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].state, DICS_PROPCHANGE);
}

TEST_F(StubProgram, FailsWhenTheChangeFails) {
  machine->SetElevated(false);
  EXPECT_NE(RunHelper(StateArguments(u"2")), 0u);
  EXPECT_TRUE(machine->NodeEnabled(0, 0));
  machine->SetElevated(true);
  // A device the class does not know: the open fails.
  EXPECT_NE(RunHelper(u"\"HID\\VID_0000&PID_0000\\1\" 2 \"{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}\""),
            0u);
  // The right device under another class.
  EXPECT_NE(RunHelper(Quoted(id) + u" 2 \"{4D36E96F-E325-11CE-BFC1-08002BE10318}\""), 0u);
  EXPECT_TRUE(machine->NodeEnabled(0, 0));
}

TEST_F(StubProgram, WithoutASharedMachineNothingChanges) {
  qzplatform::SetGround(nullptr);  // the test's process is on no ground: nothing is shared
  EXPECT_NE(RunHelper(StateArguments(u"2")), 0u);
  EXPECT_TRUE(machine->NodeEnabled(0, 0));
}

}  // namespace
