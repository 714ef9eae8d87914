// Two threads adding entries while the file is cut at its front, through one sink or
// through two sinks on the same file: every entry reaches the file exactly once, whole,
// and in its thread's order.
#include <chrono>
#include <map>
#include <mutex>
#include <regex>
#include <thread>
#include <vector>

#include "log_test_support.h"

namespace qztest {
namespace {

constexpr int kThreads = 2;
constexpr int kEntriesPerThread = 1000;

Text EntryText(int thread, int seq) {
  return qz::TextFromUtf8("T" + std::to_string(thread) + " #" + std::to_string(seq) + " " +
                          std::string(static_cast<std::size_t>(seq % 37), 'x'));
}

// Joins the file's successive contents into everything ever written: each content
// begins with the tail of the one before it that the cut kept, then newer bytes.
std::string JoinContents(const std::vector<std::string>& contents) {
  std::string stream = contents.front();
  for (std::size_t i = 1; i < contents.size(); ++i) {
    const std::string& next = contents[i];
    std::size_t overlap = std::min(stream.size(), next.size());
    while (overlap > 0 &&
           stream.compare(stream.size() - overlap, overlap, next, 0, overlap) != 0) {
      --overlap;
    }
    stream += next.substr(overlap);
  }
  return stream;
}

// Checks the joined stream: `banners` banner lines, and every entry of every thread
// exactly once, whole and in order.
void ExpectEveryEntryOnceWholeInOrder(const std::string& written, const std::string& banner,
                                      int banners) {
  ASSERT_EQ(written.rfind(banner, 0), 0u) << "the banner comes first";
  const std::regex entry_shape("T([0-9]) #([0-9]+) (x*)");
  std::map<std::pair<int, int>, int> seen;
  std::vector<int> last_seq(kThreads, -1);
  int banners_seen = 0;
  std::size_t start = 0;
  while (start < written.size()) {
    ASSERT_EQ(written.compare(start, 2, "\r\n"), 0) << "entry boundary at " << start;
    std::size_t end = written.find("\r\n", start + 2);
    if (end == std::string::npos) end = written.size();
    const std::string line = written.substr(start + 2, end - start - 2);
    start = end;
    if ("\r\n" + line == banner) {
      ++banners_seen;
      continue;
    }
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, entry_shape)) << "torn entry: " << line;
    const int thread = std::stoi(match[1]);
    const int seq = std::stoi(match[2]);
    ASSERT_LT(thread, kThreads);
    EXPECT_EQ(match[3].length(), seq % 37) << line;
    EXPECT_GT(seq, last_seq[thread]) << "out of order: " << line;
    last_seq[thread] = seq;
    ++seen[{thread, seq}];
  }
  EXPECT_EQ(banners_seen, banners);
  for (int t = 0; t < kThreads; ++t) {
    for (int seq = 0; seq < kEntriesPerThread; ++seq) {
      EXPECT_EQ(seen[std::make_pair(t, seq)], 1) << "entry T" << t << " #" << seq;
    }
  }
}

class LogFileConcurrencyTest : public LogFileTest, public ::testing::WithParamInterface<bool> {
 protected:
  // Runs the adders (in safe mode saving each entry, else calling Save now and then),
  // keeping a copy of the file every time the limit is reached, before the cut.
  std::string RunAndCollect() {
    const bool safe_mode = GetParam();
    // Shared for reading, so the handler may read the file the sink holds open (Windows
    // enforces the sharing mode).
    log_->SetOptions(safe_mode ? qz::TLogOptions{qz::loSafeMode, qz::loSharedLogFile}
                               : qz::TLogOptions{qz::loSharedLogFile});
    log_->SetSizeLimit(2048);
    events_.Attach(*log_);
    events_.on_reach = [this] { contents_.push_back(FileBytes()); };

    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([this, t, safe_mode] {
        for (int seq = 0; seq < kEntriesPerThread; ++seq) {
          log_->Add(EntryText(t, seq));
          // Saving while the other thread adds; every few entries keeps each saved
          // batch well below the limit, so that no cut drops unsaved entries.
          if (!safe_mode && seq % 4 == 3) log_->Save();
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    log_->Save();
    contents_.push_back(FileBytes());
    return JoinContents(contents_);
  }

  LogEvents events_;
  std::vector<std::string> contents_;
};

TEST_P(LogFileConcurrencyTest, EveryEntryIsWrittenOnceWholeAndInOrder) {
  const std::string written = RunAndCollect();
  EXPECT_GT(events_.reach_count, 10);
  EXPECT_EQ(events_.fatal_count, 0);
  EXPECT_LE(fs::file_size(file_), 2048u);
  ExpectEveryEntryOnceWholeInOrder(written, Banner(), 1);
}

// Two sinks on one file, as two programs logging beside the same program: each waits
// while the other holds the file, so no entry is lost or torn, the cut included.
TEST_F(LogFileTest, TwoSinksOnOneFileWriteEveryEntryOnceWhole) {
  std::mutex contents_mutex;
  std::vector<std::string> contents;
  LogEvents events[kThreads];
  std::unique_ptr<qz::TqzLogFile> logs[kThreads];
  for (int t = 0; t < kThreads; ++t) {
    logs[t] = std::make_unique<qz::TqzLogFile>(nullptr);
    logs[t]->SetFileName(ToText(file_));
    logs[t]->SetOptions({qz::loSafeMode, qz::loSharedLogFile});
    logs[t]->SetSizeLimit(512);  // a cut every few entries
    events[t].Attach(*logs[t]);
    // Called while this sink holds the file, so the copies come in the file's order.
    events[t].on_reach = [&] {
      std::lock_guard lock(contents_mutex);
      contents.push_back(FileBytes());
    };
  }
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int seq = 0; seq < kEntriesPerThread; ++seq) logs[t]->Add(EntryText(t, seq));
    });
  }
  for (std::thread& thread : threads) thread.join();
  contents.push_back(FileBytes());

  EXPECT_EQ(events[0].fatal_count + events[1].fatal_count, 0);
  EXPECT_GT(events[0].reach_count + events[1].reach_count, 100);
  EXPECT_LE(fs::file_size(file_), 512u);
  ExpectEveryEntryOnceWholeInOrder(JoinContents(contents), Banner(), kThreads);
}

// A program that keeps the file open without sharing writing holds off one save for the
// whole wait; the saves after it try once, and once the file is free again the held-back
// entries reach it.
TEST_F(LogFileTest, AFileHeldByAnotherProgramStallsOneSaveOnly) {
  HANDLE holder = CreateFileW(qzplatform::AsWide(ToText(file_)), GENERIC_WRITE, 0, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  LogEvents events;
  events.Attach(*log_);
  const auto start = std::chrono::steady_clock::now();
  for (int seq = 0; seq < 5; ++seq) log_->Add(EntryText(0, seq));
  const auto held = std::chrono::steady_clock::now() - start;
  CloseHandle(holder);
  log_->Add(EntryText(0, 5));

  EXPECT_LT(held, std::chrono::seconds(4));  // five full waits would take ten
  EXPECT_GT(events.fatal_count, 0);  // the held-off saves are reported
  const std::string written = FileBytes();
  for (int seq = 0; seq <= 5; ++seq) {
    EXPECT_NE(written.find("\r\n" + qz::TextToAnsi(EntryText(0, seq))), std::string::npos)
        << "entry " << seq;
  }
}

INSTANTIATE_TEST_SUITE_P(SafeModeAndSaver, LogFileConcurrencyTest, ::testing::Bool(),
                         [](const auto& info) {
                           return info.param ? "SafeMode" : "DirectSaves";
                         });

}  // namespace
}  // namespace qztest
