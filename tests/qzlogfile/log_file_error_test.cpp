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

// A full disk: every save fails while entries keep coming. The pending entries stay
// within the size limit, the newest whole ones, and are what the file gets once the
// disk has room again.
TEST_F(LogFileTest, FullDiskKeepsTheNewestEntriesWithinTheLimit) {
#ifdef _WIN32
  const fs::path full = dir_ / "full.log";
  fs::create_directory(full);  // refuses every save
#else
  const fs::path full = "/dev/full";  // every write fails for want of space
#endif
  constexpr std::uint32_t kLimit = 1024;
  constexpr int kEntries = 5000;
  log_->SetFileName(ToText(full));
  log_->SetSizeLimit(kLimit);
  LogEvents events;
  events.Attach(*log_);
  for (int i = 0; i < kEntries; ++i) log_->Add(qz::TextFromUtf8("entry " + std::to_string(i)));
  EXPECT_EQ(events.fatal_count, kEntries + 1);  // the banner's save and each entry's

  std::string newest;
  for (int i = kEntries - 1;; --i) {
    const std::string entry = "\r\nentry " + std::to_string(i);
    if (newest.size() + entry.size() > kLimit) break;
    newest.insert(0, entry);
  }
  EXPECT_EQ(qz::TextToAnsi(log_->GetLog()), newest);

  log_->SetFileName(ToText(file_));  // room again
  log_->Save();
  EXPECT_EQ(FileBytes(), newest);
  EXPECT_TRUE(log_->GetLog().empty());
}

}  // namespace
}  // namespace qztest
