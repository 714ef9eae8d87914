// Property changes refused to a 32-bit process on 64-bit Windows, made by the device
// helper: its command line, its exit code, the real helper acting on the test's
// machine, and the helper's file in the temporary folder.
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "enumeration_fixture.h"
#include "qzclasses/errors.h"
#include "qzclasses/headless_dispatcher.h"
#include "qzplatform/program_resources.h"

namespace w32ditest {
namespace {

namespace fs = std::filesystem;

constexpr char16_t kHidClassText[] = u"{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}";

std::vector<std::string> Lines(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class HelperRun : public Enumeration {
 protected:
  void SetUp() override {
    Enumeration::SetUp();
    scratch = fs::temp_directory_path() / ("qz-helper-test-" + std::to_string(::getpid()));
    fs::remove_all(scratch);
    temp = scratch / "temp";
    fs::create_directories(temp);
  }
  void TearDown() override {
    qzplatform::RestoreProgramResources();
    Enumeration::TearDown();
    fs::remove_all(scratch);
  }
  void LoadWow64(const std::string& json) {
    Load(json);
    machine->SetWow64(true);
    machine->SetTempFolder(qzplatform::FromUtf8(temp.string() + "/"));
    id = machine->Interfaces()[0].instance_id;
  }
  // A stand-in helper: writes its own path and its arguments, one per line, to
  // `args`, counts its runs in `runs`, and exits with `code`.
  void UseScript(int code) {
    const std::string script = "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > '" +
                               (scratch / "args").string() + "'\necho run >> '" +
                               (scratch / "runs").string() + "'\nexit " + std::to_string(code) +
                               "\n";
    qzplatform::SetProgramResource(10, u"QZX64STUB", std::vector<BYTE>(script.begin(), script.end()));
  }
  bool TempIsEmpty() const { return fs::is_empty(temp); }

  fs::path scratch, temp;
  std::u16string id;
};

std::string Vendor() { return OneDevice(kVendorDescriptor); }

TEST_F(HelperRun, ARefusedChangeRunsTheHelperOnceWithQuotedParameters) {
  LoadWow64(Vendor());
  UseScript(0);
  EXPECT_TRUE(qz::DiDisableDevice(id));
  const auto args = Lines(scratch / "args");
  ASSERT_EQ(args.size(), 4u);
  EXPECT_EQ(fs::path(args[0]).filename(), "qzX64stub.exe");
  EXPECT_EQ(args[1], qzplatform::ToUtf8(id));
  EXPECT_EQ(args[2], "2");
  EXPECT_EQ(args[3], qzplatform::ToUtf8(kHidClassText));
  EXPECT_EQ(Lines(scratch / "runs").size(), 1u);
  EXPECT_TRUE(machine->TakePropertyChanges().empty());  // the stand-in changed nothing
  EXPECT_TRUE(TempIsEmpty());
}

TEST_F(HelperRun, OnlyExitCodeZeroIsSuccess) {
  LoadWow64(Vendor());
  UseScript(3);
  EXPECT_FALSE(qz::DiRestartDevice(id));
  EXPECT_EQ(Lines(scratch / "args").at(2), "3");
  UseScript(0);
  EXPECT_TRUE(qz::DiEnableDevice(id));
  EXPECT_EQ(Lines(scratch / "args").at(2), "1");
  EXPECT_EQ(Lines(scratch / "runs").size(), 2u);  // once per change, also for enabling
  EXPECT_TRUE(TempIsEmpty());
}

TEST_F(HelperRun, TheHelperChangesTheDeviceOfThisMachine) {
  LoadWow64(Vendor());  // the helper built with this program
  EXPECT_TRUE(qz::DiDisableDevice(id));
  EXPECT_FALSE(machine->NodeEnabled(0, 0));
  EXPECT_TRUE(qz::DiEnableDevice(id));
  EXPECT_TRUE(machine->NodeEnabled(0, 0));
  EXPECT_TRUE(qz::DiRestartDevice(id));
  std::vector<std::pair<DWORD, DWORD>> seen;
  for (const auto& c : machine->TakePropertyChanges()) {
    EXPECT_TRUE(c.helper);
    seen.emplace_back(c.state, c.scope);
  }
  EXPECT_EQ(seen, (std::vector<std::pair<DWORD, DWORD>>{
                      {DICS_DISABLE, DICS_FLAG_CONFIGSPECIFIC},
                      {DICS_ENABLE, DICS_FLAG_GLOBAL},
                      {DICS_ENABLE, DICS_FLAG_CONFIGSPECIFIC},
                      {DICS_PROPCHANGE, DICS_FLAG_CONFIGSPECIFIC}}));
  EXPECT_TRUE(TempIsEmpty());
  // Without the rights the helper fails too, and so does the change.
  machine->SetElevated(false);
  EXPECT_FALSE(qz::DiDisableDevice(id));
  EXPECT_TRUE(machine->NodeEnabled(0, 0));
}

TEST_F(HelperRun, AnInstanceIdCannotAddArguments) {
  // Blanks and quotes in an ID (a device file can give it any).
  LoadWow64(OneDevice(std::string(kVendorDescriptor) +
                      R"(, "enumeration": {"instance_id": "HID\\VID_1234&PID_5678\\A\" 3 \"B C"})"));
  ASSERT_EQ(id, u"HID\\VID_1234&PID_5678\\A\" 3 \"B C");
  UseScript(0);
  EXPECT_TRUE(qz::DiDisableDevice(id));
  const auto args = Lines(scratch / "args");
  ASSERT_EQ(args.size(), 4u);
  EXPECT_EQ(args[1], qzplatform::ToUtf8(id));
  EXPECT_EQ(args[2], "2");
  // The real helper receives it whole as well, and disables that very device.
  qzplatform::RestoreProgramResources();
  EXPECT_TRUE(qz::DiDisableDevice(id));
  EXPECT_FALSE(machine->NodeEnabled(0, 0));
}

TEST_F(HelperRun, ATemporaryFolderWithABlankIsQuoted) {
  temp = scratch / "Ann Lee" / "Temp";
  fs::create_directories(temp);
  LoadWow64(Vendor());
  UseScript(0);
  EXPECT_TRUE(qz::DiDisableDevice(id));
  const auto args = Lines(scratch / "args");
  ASSERT_EQ(args.size(), 4u);
  EXPECT_EQ(args[0].rfind(temp.string(), 0), 0u) << args[0];
  EXPECT_EQ(args[1], qzplatform::ToUtf8(id));
  EXPECT_TRUE(TempIsEmpty());
}

TEST_F(HelperRun, ATemporaryPathOver260CharactersFailsWithoutWriting) {
  fs::path deep = scratch / "temp";
  while (deep.string().size() <= 270) deep /= std::string(40, 'd');
  fs::create_directories(deep);
  temp = deep;
  LoadWow64(Vendor());
  UseScript(0);
  EXPECT_FALSE(qz::DiDisableDevice(id));
  EXPECT_TRUE(fs::is_empty(deep));
  EXPECT_FALSE(fs::exists(scratch / "runs"));
}

TEST_F(HelperRun, NoHelperImageMeansNoRunAndNothingLeft) {
  LoadWow64(Vendor());
  qzplatform::HideProgramResource(10, u"QZX64STUB");
  EXPECT_FALSE(qz::DiDisableDevice(id));
  EXPECT_TRUE(TempIsEmpty());
  // An image the system cannot start.
  qzplatform::SetProgramResource(10, u"qzx64stub", {'M', 'Z', 0, 0});
  EXPECT_FALSE(qz::DiRunX64Stub(u"\"X\" 2 \"{}\""));
  EXPECT_TRUE(TempIsEmpty());
}

TEST_F(HelperRun, AFileOfTheHelpersNameInTheTemporaryFolderIsNeverRun) {
  LoadWow64(Vendor());
  // Planted where the helper used to be written: it must be neither run nor removed.
  const fs::path planted = temp / "qzX64stub.exe";
  {
    std::ofstream out(planted);
    out << "#!/bin/sh\necho planted >> '" << (scratch / "runs").string() << "'\nexit 0\n";
  }
  fs::permissions(planted, fs::perms::owner_all);
  qzplatform::HideProgramResource(10, u"QZX64STUB");
  EXPECT_FALSE(qz::DiDisableDevice(id));
  EXPECT_FALSE(fs::exists(scratch / "runs"));
  EXPECT_TRUE(fs::exists(planted));
}

TEST_F(HelperRun, AHungHelperIsEndedAtTheLimitWhileTheMainThreadWorksOn) {
  LoadWow64(Vendor());
  const std::string script = "#!/bin/sh\necho $$ > '" + (scratch / "pid").string() +
                             "'\nexec sleep 60\n";
  qzplatform::SetProgramResource(10, u"QZX64STUB", std::vector<BYTE>(script.begin(), script.end()));
  qz::HeadlessDispatcher dispatcher;
  qz::Dispatcher::Install(&dispatcher);
  // A worker hands the main thread a call while it waits for the helper.
  std::atomic<bool> handed{false};
  std::thread worker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    dispatcher.Synchronize([&] { handed = true; });
  });
  const auto start = std::chrono::steady_clock::now();
  const bool result = qz::DiRunX64Stub(u"\"X\" 2 \"{}\"", 400);
  const auto waited = std::chrono::steady_clock::now() - start;
  const bool handedWhileWaiting = handed;
  worker.join();
  qz::Dispatcher::Install(nullptr);

  EXPECT_FALSE(result);
  EXPECT_LT(waited, std::chrono::seconds(3));
  EXPECT_TRUE(handedWhileWaiting);
  std::ifstream pidFile(scratch / "pid");
  pid_t pid = 0;
  ASSERT_TRUE(pidFile >> pid);
  EXPECT_NE(::kill(pid, 0), 0);  // the helper was ended, not left running
  EXPECT_TRUE(TempIsEmpty());
}

TEST_F(HelperRun, AChangeThatIsNotRefusedRunsNoHelper) {
  Load(Vendor());
  machine->SetTempFolder(qzplatform::FromUtf8(temp.string()));
  id = machine->Interfaces()[0].instance_id;
  UseScript(0);
  EXPECT_TRUE(qz::DiDisableDevice(id));
  EXPECT_FALSE(fs::exists(scratch / "runs"));
  EXPECT_FALSE(machine->TakePropertyChanges().at(0).helper);
}

}  // namespace
}  // namespace w32ditest
