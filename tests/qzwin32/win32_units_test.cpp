// The routines the helper run stands on: GUID text, quoting an argument, running a
// program, writing a resource to a file; and how the system finds the program a
// command line names.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "qzplatform/ground.h"
#include "qzplatform/helper_calls.h"
#include "qzplatform/program_resources.h"
#include "qzsysutils/qzsysutils.h"
#include "qzwin32/qzwin32.h"

namespace {

namespace fs = std::filesystem;

TEST(GuidToText, IsUpperCaseRegistryTextOf38Characters) {
  EXPECT_EQ(qz::GuidToText(GUID{}), u"{00000000-0000-0000-0000-000000000000}");
  const GUID hid = {0x745a17a0, 0x74d3, 0x11d0, {0xb6, 0xfe, 0x00, 0xa0, 0xc9, 0x0f, 0x57, 0xda}};
  EXPECT_EQ(qz::GuidToText(hid), u"{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}");
  const GUID small = {0x1, 0x2, 0x3, {0, 1, 2, 3, 4, 5, 6, 0xab}};
  EXPECT_EQ(qz::GuidToText(small), u"{00000001-0002-0003-0001-0203040506AB}");
}

// The arguments the program would see for `line`, after its name.
std::vector<std::u16string> Split(const std::u16string& line) {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(qzplatform::AsWide(u"prog.exe " + line), &count);
  std::vector<std::u16string> args;
  for (int i = 1; i < count; ++i) args.emplace_back(qzplatform::AsChar16(argv[i]));
  LocalFree(argv);
  return args;
}

TEST(QuoteArgument, EveryTextComesBackAsOneArgument) {
  for (const std::u16string text :
       {u"", u"plain", u"HID\\VID_1234&PID_5678\\7&1A2B&0&0000", u"two words", u"tab\there",
        u"a\"b", u"\"", u"ends with backslash\\", u"\\\\server\\share\\", u"a\\\"b",
        u"a\\\\\"b c", u"\" 1 \"{x}\" \"", u"x\" y"}) {
    std::u16string quoted;
    ASSERT_TRUE(qz::QuoteArgument(text, &quoted));
    EXPECT_EQ(Split(quoted + u" next"), (std::vector<std::u16string>{text, u"next"}))
        << qzplatform::ToUtf8(quoted);
  }
  std::u16string quoted = u"kept";
  EXPECT_FALSE(qz::QuoteArgument(std::u16string(u"a\0b", 3), &quoted));
  EXPECT_EQ(quoted, u"kept");
  ASSERT_TRUE(qz::QuoteArgument(u"HID\\A\\1", &quoted));
  EXPECT_EQ(quoted, u"\"HID\\A\\1\"");  // an ordinary ID just gets its quotes
}

class Programs : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("qz-programs-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder / "a b");
  }
  void TearDown() override {
    qzplatform::RestoreProgramResources();
    fs::remove_all(folder);
  }
  // A script that appends its name and arguments to `log` and exits with `code`.
  void Script(const fs::path& path, int code) {
    std::ofstream out(path);
    out << "#!/bin/sh\nprintf '%s|' \"$0\" \"$@\" >> '" << (folder / "log").string()
        << "'\necho >> '" << (folder / "log").string() << "'\nexit " << code << "\n";
    out.close();
    fs::permissions(path, fs::perms::owner_all);
  }
  std::vector<std::string> Log() {
    std::ifstream in(folder / "log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  std::u16string U16(const fs::path& p) { return qzplatform::FromUtf8(p.string()); }

  fs::path folder;
};

TEST_F(Programs, RunProcessLeavesTheExitCodeOrTheCreationError) {
  Script(folder / "a b" / "prog", 7);
  qz::RunProcess(u"\"" + U16(folder / "a b" / "prog") + u"\" x \"y z\"", U16(folder), true, true);
  EXPECT_EQ(GetLastError(), 7u);
  EXPECT_EQ(Log(), (std::vector<std::string>{(folder / "a b" / "prog").string() + "|x|y z|"}));
  qz::RunProcess(u"\"" + U16(folder / "missing") + u"\"", u"", true, true);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  qz::RunProcess(u"\"" + U16(folder / "a b" / "prog") + u"\"", U16(folder / "nowhere"), true,
                 false);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
  {
    std::ofstream quiet(folder / "quiet");
    quiet << "#!/bin/sh\nexit 5\n";
  }
  fs::permissions(folder / "quiet", fs::perms::owner_all);
  qz::RunProcess(u"\"" + U16(folder / "quiet") + u"\"", u"", false, false);
  EXPECT_EQ(GetLastError(), 0u);  // not waited for
}

TEST_F(Programs, AProgramOverItsTimeLimitIsEndedAndGivesNoExitCode) {
  {
    std::ofstream slow(folder / "slow");
    slow << "#!/bin/sh\nexec sleep 60\n";
  }
  fs::permissions(folder / "slow", fs::perms::owner_all);
  EXPECT_FALSE(qz::RunProcess(u"\"" + U16(folder / "slow") + u"\"", u"", true, true, 100));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
  Script(folder / "prog", 0);
  EXPECT_TRUE(qz::RunProcess(u"\"" + U16(folder / "prog") + u"\"", u"", true, true, 5000));
  EXPECT_EQ(GetLastError(), 0u);
}

TEST_F(Programs, AnUnquotedPathWithABlankStartsAnotherProgram) {
  // What an unquoted helper path in a folder with a blank does: the system tries the
  // name up to the blank first, and the program's arguments shift by one.
  Script(folder / "a b" / "prog", 0);
  Script(folder / "a", 0);
  qz::RunProcess(U16(folder / "a b" / "prog") + u" 1", u"", true, true);
  ASSERT_EQ(Log().size(), 1u);
  EXPECT_EQ(Log()[0], (folder / "a").string() + "|b/prog|1|");
  fs::remove(folder / "a");
  qz::RunProcess(U16(folder / "a b" / "prog") + u" 1", u"", true, true);
  EXPECT_EQ(Log().at(1), (folder / "a b" / "prog").string() + "|b/prog|1|");
}

TEST_F(Programs, SaveResourceToFileWritesTheWholeResource) {
  const std::vector<BYTE> bytes = {'h', 'e', 'l', 'l', 'o', 0, 1, 2};
  qzplatform::SetProgramResource(10, u"QZTEST", bytes);
  const fs::path file = folder / "out.bin";
  EXPECT_TRUE(qz::SaveResourceToFile(u"qztest", U16(file)));  // any case
  std::ifstream in(file, std::ios::binary);
  const std::vector<BYTE> read((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(read, bytes);
  // CREATE_NEW refuses a file that is there, and leaves it alone.
  EXPECT_FALSE(qz::SaveResourceToFile(u"QZTEST", U16(file), CREATE_NEW));
  EXPECT_TRUE(fs::exists(file));
  EXPECT_EQ(fs::file_size(file), bytes.size());
  EXPECT_FALSE(qz::SaveResourceToFile(u"QZNONE", U16(folder / "none.bin")));
  EXPECT_FALSE(fs::exists(folder / "none.bin"));
  EXPECT_FALSE(qz::SaveResourceToFile(u"QZTEST", U16(folder / "missing" / "x.bin")));
}

TEST(ProgramResources, AreFoundByTypeAndNameWithoutRegardToCase) {
  qzplatform::SetProgramResource(10, u"QzFind", {1, 2, 3});
  HRSRC r =
      FindResourceW(nullptr, qzplatform::AsWide(std::u16string(u"QZFIND")), MAKEINTRESOURCEW(10));
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(SizeofResource(nullptr, r), 3u);
  const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, r)));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data[2], 3);
  EXPECT_EQ(
      FindResourceW(nullptr, qzplatform::AsWide(std::u16string(u"QZFIND")), MAKEINTRESOURCEW(3)),
      nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
  EXPECT_EQ(
      FindResourceW(nullptr, qzplatform::AsWide(std::u16string(u"OTHER")), MAKEINTRESOURCEW(10)),
      nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  qzplatform::RestoreProgramResources();
  EXPECT_EQ(
      FindResourceW(nullptr, qzplatform::AsWide(std::u16string(u"QZFIND")), MAKEINTRESOURCEW(10)),
      nullptr);
  // The helper's image is embedded into every program that links the library.
  HRSRC helper = FindResourceW(nullptr, qzplatform::AsWide(std::u16string(u"qzx64stub")),
                               MAKEINTRESOURCEW(10));
  ASSERT_NE(helper, nullptr);
  EXPECT_GT(SizeofResource(nullptr, helper), 1000u);
}

}  // namespace
