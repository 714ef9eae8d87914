// Log files that cannot be created or written: the failure reaches OnFatalError or is
// raised, and every entry stays pending until a save succeeds.
#include <thread>
#include <vector>

#include "log_test_support.h"

namespace qztest {
namespace {

Text SaveError(const fs::path& path) { return u"Error when save log file:" + ToText(path); }

// The message of the qz::Error that `action` raises, or "(nothing raised)".
template <typename Action>
Text RaisedMessage(Action action) {
  try {
    action();
  } catch (const qz::Error& error) {
    return error.Message();
  }
  return u"(nothing raised)";
}

TEST_F(LogFileTest, FolderAsFileRaisesFromAddAndKeepsEveryEntry) {
  const fs::path folder = dir_ / "folder.log";
  fs::create_directory(folder);
  log_->SetFileName(ToText(folder));

  // The banner's save fails first; the entry is still taken in before the error leaves.
  EXPECT_EQ(RaisedMessage([&] { log_->Add(u"one"); }), SaveError(folder));
  EXPECT_EQ(qz::TextToAnsi(log_->GetLog()), Banner() + "\r\none");
  EXPECT_EQ(RaisedMessage([&] { log_->Add(u"two"); }), SaveError(folder));

  // The lock was released on the way out: another thread can still add.
  std::thread other([&] { RaisedMessage([&] { log_->Add(u"three"); }); });
  other.join();
  EXPECT_EQ(qz::TextToAnsi(log_->GetLog()), Banner() + "\r\none\r\ntwo\r\nthree");

  fs::remove(folder);
  log_->Add(u"four");
  EXPECT_EQ(ReadBytes(folder), Banner() + "\r\none\r\ntwo\r\nthree\r\nfour");
  EXPECT_TRUE(log_->GetLog().empty());
}

TEST_F(LogFileTest, PathsThatCannotBeWrittenAreReportedForEachAttempt) {
  WriteBytes(dir_ / "plain", "x");
  fs::create_directory(dir_ / "folder.log");
  const std::vector<fs::path> paths = {
      dir_ / "folder.log",         // a folder
      dir_ / "missing" / "x.log",  // in a folder that does not exist
      dir_ / "plain" / "x.log",    // in a "folder" that is a regular file
  };
  for (const fs::path& path : paths) {
    qz::TqzLogFile log(nullptr);
    log.SetOptions({qz::loSafeMode});
    log.SetFileName(ToText(path));
    LogEvents events;
    events.Attach(log);
    log.Add(u"entry");
    EXPECT_EQ(events.fatal_count, 2) << path;  // the banner's save and the entry's
    EXPECT_EQ(events.fatal_code + events.fatal_detail, 0u) << path;
    EXPECT_EQ(events.fatal_message, SaveError(path)) << path;
    EXPECT_EQ(qz::TextToAnsi(log.GetLog()), Banner() + "\r\nentry") << path;
    EXPECT_FALSE(log.WriteToFile(u"x")) << path;
  }
}

TEST_F(LogFileTest, ReadOnlyFolderIsReportedAndEntriesKept) {
  const fs::path folder = dir_ / "readonly";
  fs::create_directory(folder);
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
  WriteBytes(folder / "probe", "x");
  if (fs::exists(folder / "probe")) GTEST_SKIP() << "folder permissions do not bind this user";
  const fs::path path = folder / "x.log";
  log_->SetFileName(ToText(path));
  LogEvents events;
  events.Attach(*log_);
  log_->Add(u"entry");
  EXPECT_EQ(events.fatal_message, SaveError(path));
  EXPECT_EQ(qz::TextToAnsi(log_->GetLog()), Banner() + "\r\nentry");
}

TEST_F(LogFileTest, FailedSaveAtDestructionIsReportedButNotRaised) {
  const fs::path folder = dir_ / "folder.log";
  fs::create_directory(folder);
  log_->SetFileName(ToText(folder));
  log_->SetOptions({});
  LogEvents events;
  events.suppress_fatal = false;
  events.Attach(*log_);
  log_->Add(u"pending");
  EXPECT_EQ(events.fatal_count, 0);
  EXPECT_NO_THROW(log_.reset());
  EXPECT_EQ(events.fatal_count, 1);
  EXPECT_EQ(events.fatal_message, SaveError(folder));
}

}  // namespace
}  // namespace qztest
