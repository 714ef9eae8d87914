// The size limit: cutting the file's front, long entries, and byte counts per encoding.
#include "log_test_support.h"

namespace qztest {
namespace {

// Distinct bytes, so a cut at the wrong place shows.
std::string Pattern(std::size_t size) {
  std::string bytes;
  for (std::size_t i = 0; i < size; ++i) bytes.push_back(static_cast<char>('!' + i % 90));
  return bytes;
}

Text TextPattern(std::size_t size, char16_t first = u'a') {
  Text text;
  for (std::size_t i = 0; i < size; ++i) text.push_back(static_cast<char16_t>(first + i % 26));
  return text;
}

class LogFileSizeTest : public LogFileTest {
 protected:
  void SetUp() override {
    LogFileTest::SetUp();
    events_.Attach(*log_);
    log_->SetSizeLimit(100);
  }
  LogEvents events_;
};

TEST_F(LogFileSizeTest, CutDropsJustEnoughFrontBytesForTheEntry) {
  const std::string old = Pattern(90);
  WriteBytes(file_, old);
  ASSERT_TRUE(log_->WriteToFile(TextPattern(10)));  // fits exactly
  EXPECT_EQ(events_.reach_count, 0);
  ASSERT_TRUE(log_->WriteToFile(TextPattern(20, u'A')));
  EXPECT_EQ(events_.reach_count, 1);
  EXPECT_EQ(FileBytes(), old.substr(20) + "abcdefghij" + qz::TextToAnsi(TextPattern(20, u'A')));
}

TEST_F(LogFileSizeTest, LimitSmallerThanOneEntryKeepsOnlyItsStart) {
  log_->SetSizeLimit(5);
  log_->Add(u"0123456789");
  // The banner's start was written first; the entry's cut then emptied the file.
  EXPECT_EQ(FileBytes(), "\r\n012");
  EXPECT_EQ(events_.reach_count, 1);
  EXPECT_EQ(events_.fatal_count, 0);
  EXPECT_TRUE(log_->GetLog().empty());
}

TEST_F(LogFileSizeTest, NoLimitLetsTheFileGrow) {
  log_->SetSizeLimit(0);
  WriteBytes(file_, Pattern(300000));
  ASSERT_TRUE(log_->WriteToFile(TextPattern(1000)));
  EXPECT_EQ(events_.reach_count, 0);
  EXPECT_EQ(fs::file_size(file_), 301000u);
}

// At the limit every write moves the kept tail to the start and puts the new bytes
// behind it; a run of writes of varying length must leave exactly the last 100 bytes.
TEST_F(LogFileSizeTest, WritesAtTheLimitKeepTheLastBytesOfEverythingWritten) {
  std::string written = Pattern(100);
  WriteBytes(file_, written);
  for (std::size_t i = 1; i <= 40; ++i) {
    const Text text = TextPattern(i % 13 + 1 + (i == 20 ? 120 : 0), static_cast<char16_t>(u'a' + i % 7));
    ASSERT_TRUE(log_->WriteToFile(text));
    written += qz::TextToAnsi(text);
    const std::string expected = written.substr(written.size() - 100);
    ASSERT_EQ(FileBytes(), i == 20 ? qz::TextToAnsi(text).substr(0, 100) : expected) << "write " << i;
    if (i == 20) written = FileBytes();  // the over-long text was cut to its first 100 bytes
  }
  EXPECT_EQ(events_.reach_count, 40);
}

TEST_F(LogFileSizeTest, SavingNothingStillCutsAnOversizedFile) {
  const std::string old = Pattern(150);
  WriteBytes(file_, old);
  log_->Save();
  EXPECT_EQ(events_.reach_count, 1);
  EXPECT_EQ(FileBytes(), old.substr(50));
}

TEST_F(LogFileSizeTest, Utf16TakesTwoBytesPerCharacterInFileAndLimit) {
  log_->SetAnsiOnly(false);
  const std::string old = Utf16Bytes(TextPattern(45, u'A'));
  WriteBytes(file_, old);
  const Text entry = u"\r\n\u00E9\u4E2D" + TextPattern(11);  // 15 units, 30 bytes, no BOM
  ASSERT_TRUE(log_->WriteToFile(entry));
  EXPECT_EQ(events_.reach_count, 1);
  EXPECT_EQ(FileBytes(), old.substr(20) + Utf16Bytes(entry));
}

TEST_F(LogFileSizeTest, Utf16CutWithAnOddLimitKeepsWholeCodeUnits) {
  // A cut by an odd number of bytes would shift every later character by one byte.
  log_->SetAnsiOnly(false);
  log_->SetSizeLimit(101);
  const std::string old = Utf16Bytes(TextPattern(45, u'A'));
  WriteBytes(file_, old);
  ASSERT_TRUE(log_->WriteToFile(TextPattern(10)));
  EXPECT_EQ(FileBytes(), old.substr(10) + Utf16Bytes(TextPattern(10)));
  ASSERT_TRUE(log_->WriteToFile(TextPattern(60)));  // longer than the limit
  EXPECT_EQ(FileBytes(), Utf16Bytes(TextPattern(50)));
}

TEST_F(LogFileSizeTest, AnsiCountsAndWritesTheConvertedBytes) {
  // Characters outside the code page become its default character; what is written and
  // reckoned against the limit is exactly the converted text.
  const std::string old = Pattern(90);
  WriteBytes(file_, old);
  const Text entry = u"\u00E9\u4E2D\U0001F600" + TextPattern(16);
  const std::string converted = qz::TextToAnsi(entry);
  ASSERT_TRUE(log_->WriteToFile(entry));
  EXPECT_EQ(FileBytes(), old.substr(90 + converted.size() - 100) + converted);
  EXPECT_EQ(static_cast<unsigned char>(converted[0]), 0xE9);
  EXPECT_EQ(converted[1], '?');
}

// An OnReachLimit handler may log: its entry waits for the next save rather than
// writing the file while this sink cuts it.
TEST_F(LogFileSizeTest, EntryOfTheReachLimitHandlerGoesWithTheNextSave) {
  log_->SetSizeLimit(200);
  WriteBytes(file_, Pattern(190));
  events_.on_reach = [&] {
    if (events_.reach_count == 1) log_->Add(u"cut");
  };
  log_->Add(u"x");  // the banner's save cuts the file
  EXPECT_EQ(events_.fatal_count, 0);
  const std::string bytes = FileBytes();
  EXPECT_EQ(bytes.substr(bytes.size() - 8), "\r\ncut\r\nx");
  EXPECT_TRUE(log_->GetLog().empty());
}

}  // namespace
}  // namespace qztest
