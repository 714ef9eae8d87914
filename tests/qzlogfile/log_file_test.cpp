// Entries, the banner, the level filter, formatting, file names, saving and clearing.
#include <utility>
#include <vector>

#include "log_test_support.h"
#include "system_capture.h"

namespace qztest {
namespace {

// "[stamp] text" split after the stamp's "] ".
std::pair<std::string, std::string> SplitStamp(const std::string& line) {
  const std::size_t end = line.find("] ");
  if (line.empty() || line[0] != '[' || end == std::string::npos) return {"", line};
  return {line.substr(0, end + 2), line.substr(end + 2)};
}

std::vector<std::string> SplitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(bytes.substr(start, end - start));
  lines.push_back(bytes.substr(start));
  return lines;
}

TEST(LogFileDefaults, NewSinkHasTheStoredDefaults) {
  qz::TqzLogFile log(nullptr);
  EXPECT_EQ(log.GetSizeLimit(), 204800u);
  EXPECT_EQ(log.GetFileName(), u"qzlinklib.log");
  EXPECT_EQ(log.GetDetailLevel(), qz::dlSimple);
  // loSafeMode, loAutoFileName, loDate, loTime, loDebugOut: bits 0, 1, 3, 4 and 6.
  EXPECT_EQ(log.GetOptions().Bits(), 0x5B);
  EXPECT_TRUE(log.GetAnsiOnly());
  // The file lies beside the program, under the program's name with ".log".
  fs::path program = ProgramPath();
  EXPECT_EQ(log.GetLogFileName(), ToText(program.replace_extension(".log")));
}

TEST_F(LogFileTest, FirstEntryIsPrecededByTheStampedBanner) {
  const qz::TLogOptions options{qz::loSafeMode, qz::loDate, qz::loTime};
  log_->SetOptions(options);
  const SYSTEMTIME before = LocalTimeNow();
  log_->AddLog(qz::dlSimple, u"abc");
  log_->Add(u"a\tb\nc");
  const SYSTEMTIME after = LocalTimeNow();
  const std::vector<std::string> lines = SplitLines(FileBytes());
  const std::vector<std::string> texts = {"", Banner().substr(2), "abc", "a\\09hb\\0Ahc"};
  ASSERT_EQ(lines.size(), texts.size()) << FileBytes();
  EXPECT_EQ(lines[0], "");
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const auto [stamp, text] = SplitStamp(lines[i]);
    EXPECT_TRUE(IsStampBetween(stamp, before, after, options)) << lines[i];
    EXPECT_EQ(text, texts[i]);
  }
  EXPECT_TRUE(log_->GetLog().empty());  // saved at once in safe mode
}

TEST_F(LogFileTest, LevelFilterDropsDeeperLevelsWithoutBannerOrFormatting) {
  log_->SetDetailLevel(qz::dlDetail);
  log_->AddLog(qz::dlDebug, u"hidden");
  log_->AddLogFmt(qz::dlDebug, u"%u", {Text(u"not formatted")});
  EXPECT_FALSE(fs::exists(file_));
  EXPECT_TRUE(log_->GetLog().empty());
  log_->AddLog(qz::dlDetail, u"detail");
  log_->AddLogFmt(qz::dlSimple, u"n=%0.3d", {7});
  EXPECT_EQ(FileBytes(), Banner() + "\r\ndetail\r\nn=007");
}

TEST_F(LogFileTest, FormatThatDoesNotFitAddsTheFormatErrorEntry) {
  log_->AddFmt(u"%u", {Text(u"text")});
  log_->AddFmt(u"%s %d", {Text(u"one")});
  log_->AddFmt(u"%s=%x", {Text(u"id"), 255});
  EXPECT_EQ(FileBytes(), Banner() + "\r\nLog format ERROR!!!\r\nLog format ERROR!!!\r\nid=FF");
}

TEST_F(LogFileTest, OnLogEntryChangesOrDropsEntries) {
  LogEvents events;
  events.Attach(*log_);
  events.on_entry = [](Text& entry) {
    if (entry == u"drop") entry.clear();
    if (entry == u"change") entry = u"changed";
  };
  log_->Add(u"drop");
  EXPECT_EQ(FileBytes(), Banner());  // the banner stays although its entry was dropped
  log_->Add(u"change");
  events.on_entry = [](Text& entry) {
    entry += u"!";
    throw qz::Error(u"handler failed");
  };
  log_->Add(u"raised");
  EXPECT_EQ(FileBytes(), Banner() + "\r\nchanged\r\nraised!");
}

TEST_F(LogFileTest, BannerIsWrittenTwiceWhenItIsTheFirstEntry) {
  log_->AddSysInfo();
  EXPECT_EQ(FileBytes(), Banner() + Banner());
}

TEST_F(LogFileTest, DebugOutputGetsEachStampedEntryWithoutLineEnd) {
  const qz::TLogOptions options{qz::loSafeMode, qz::loDebugOut, qz::loMSec};
  log_->SetOptions(options);
  DebugOutputCapture capture;
  const SYSTEMTIME before = LocalTimeNow();
  log_->Add(u"a\tb");
  const SYSTEMTIME after = LocalTimeNow();
  const std::vector<std::u16string> lines = capture.Take();
  ASSERT_EQ(lines.size(), 2u);
  const std::string texts[] = {Banner().substr(2), "a\\09hb"};
  for (std::size_t i = 0; i < 2; ++i) {
    const auto [stamp, text] = SplitStamp(qz::TextToAnsi(lines[i]));
    EXPECT_TRUE(IsStampBetween(stamp, before, after, options)) << stamp;
    EXPECT_EQ(text, texts[i]);
  }
}

TEST_F(LogFileTest, WithoutSafeModeEntriesWaitForSaveOrDestruction) {
  log_->SetOptions({});
  log_->Save();  // nothing pending: still creates the file
  EXPECT_EQ(FileBytes(), "");
  log_->Add(u"one");
  EXPECT_EQ(qz::TextToAnsi(log_->GetLog()), Banner() + "\r\none");
  EXPECT_EQ(FileBytes(), "");
  log_->Save();
  EXPECT_EQ(FileBytes(), Banner() + "\r\none");
  EXPECT_TRUE(log_->GetLog().empty());
  log_->Add(u"two");
  log_.reset();
  EXPECT_EQ(FileBytes(), Banner() + "\r\none\r\ntwo");
}

TEST_F(LogFileTest, ClearDropsPendingEntriesAndDeletesTheFile) {
  log_->Add(u"saved");
  log_->SetOptions({});
  log_->Add(u"pending");
  log_->Clear();
  EXPECT_FALSE(fs::exists(file_));
  EXPECT_TRUE(log_->GetLog().empty());
  EXPECT_NO_THROW(log_->Clear());  // nothing left to delete
  log_->Add(u"after");
  log_->Save();
  EXPECT_EQ(FileBytes(), "\r\nafter");  // the banner is not repeated
}

TEST_F(LogFileTest, EmptyFileNameKeepsEntriesPendingWithoutErrors) {
  LogEvents events;
  events.Attach(*log_);
  log_->SetFileName(u"  \t ");
  EXPECT_EQ(log_->GetLogFileName(), u"");
  log_->Add(u"one");
  EXPECT_EQ(events.fatal_count, 0);
  EXPECT_EQ(qz::TextToAnsi(log_->GetLog()), Banner() + "\r\none");
  EXPECT_FALSE(log_->WriteToFile(u"x"));
}

TEST_F(LogFileTest, FileNameIsPlacedBesideTheProgramUnlessItHasAFolder) {
  const Text program = ToText(ProgramPath());
  const Text folder = program.substr(0, program.find_last_of(u"/\\") + 1);
  const std::vector<std::pair<Text, Text>> cases = {
      {u" name.log ", folder + u"name.log"},    // trimmed, bare: beside the program
      {u"\\name.log", folder + u"\\name.log"},  // one-character folder: appended
      {u"logs\\name.log", u"logs\\name.log"},   // relative folder: as it is
      {u"C:name.log", u"C:name.log"},           // a drive colon ends the folder part
#ifdef _WIN32
      {u"sub/name.log", folder + u"sub/name.log"},  // a slash is no delimiter: beside it
#else
      {u"a/name.log", u"a/name.log"},  // the system's delimiter
#endif
  };
  for (const auto& [name, expected] : cases) {
    log_->SetFileName(name);
    EXPECT_EQ(log_->GetLogFileName(), expected) << qz::TextToUtf8(name);
  }
  log_->SetOptions({qz::loSafeMode, qz::loAutoFileName});  // safe mode: nothing saved at the end
  fs::path auto_name = ProgramPath();
  EXPECT_EQ(log_->GetLogFileName(), ToText(auto_name.replace_extension(".log")));
}

}  // namespace
}  // namespace qztest
