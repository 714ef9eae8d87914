// The memo's line limit and the command line that sets it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "options.h"
#include "presenter/memo_limit.h"

namespace {

std::vector<qz::Text> Lines(std::size_t first, std::size_t count) {
  std::vector<qz::Text> lines;
  for (std::size_t i = first; i < first + count; ++i) lines.push_back(qz::TextFromUtf8(std::to_string(i)));
  return lines;
}

TEST(MemoLimit, DropsTheOldestLinesInStepsOfAHundredthOfTheLimit) {
  demo::MemoLimit memo(1000);  // steps of 10
  auto batch = Lines(0, 990);
  EXPECT_EQ(memo.Admit(batch), 0u);
  batch = Lines(990, 11);  // one line too many: a step of 10 goes
  EXPECT_EQ(memo.Admit(batch), 10u);
  EXPECT_EQ(batch.size(), 11u);
  EXPECT_EQ(memo.Lines(), 991u);
  // A batch longer than the limit: the whole memo goes, and the batch keeps its newest.
  batch = Lines(1001, 2500);
  EXPECT_EQ(memo.Admit(batch), 991u);
  ASSERT_EQ(batch.size(), 991u);
  EXPECT_EQ(batch.front(), u"2510");
  EXPECT_EQ(batch.back(), u"3500");
  EXPECT_EQ(memo.Lines(), 991u);
  EXPECT_EQ(memo.Dropped(), 2510u);
}

TEST(ParseOptions, MemoLinesTakesAWholeNumberWithinItsRange) {
  demo::Options o;
  std::string error;
  EXPECT_EQ(o.memoLines, 100000u);
  ASSERT_TRUE(demo::ParseOptions({"--memo-lines", "250"}, o, error));
  EXPECT_EQ(o.memoLines, 250u);
  for (const char* bad : {"0", "-5", "12x", "", "10000001", "99999999999"}) {
    EXPECT_FALSE(demo::ParseOptions({"--memo-lines", bad}, o, error)) << bad;
    EXPECT_EQ(error, "--memo-lines needs a number of lines from 1 to 10000000");
  }
  EXPECT_FALSE(demo::ParseOptions({"--memo-lines"}, o, error));
}

}  // namespace
