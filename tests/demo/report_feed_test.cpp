// The hand-off of memo lines from a worker thread: arrival order, batches, a worker that
// never waits for a busy main thread, and detaching.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "presenter/report_feed.h"
#include "qzclasses/headless_dispatcher.h"

namespace {

using qz::Text;

Text Line(int i) { return qz::TextFromUtf8(std::to_string(i)); }

class ReportFeedTest : public ::testing::Test {
 protected:
  ReportFeedTest() { qz::Dispatcher::Install(&dispatcher); }
  ~ReportFeedTest() override { qz::Dispatcher::Install(nullptr); }

  std::shared_ptr<demo::ReportFeed> MakeFeed(std::size_t maxBatch) {
    return demo::ReportFeed::Create(
        [this](std::vector<Text>& lines) {
          batches.push_back(lines.size());
          for (auto& l : lines) received.push_back(std::move(l));
        },
        maxBatch);
  }

  qz::HeadlessDispatcher dispatcher;
  std::vector<Text> received;
  std::vector<std::size_t> batches;
};

TEST_F(ReportFeedTest, WorkerLinesArriveInOrderInBoundedBatchesWithoutWaiting) {
  auto feed = MakeFeed(100);
  constexpr int kLines = 5000;
  // The main thread does not pump while the worker pushes: the worker must finish anyway.
  std::thread worker([&] {
    for (int i = 0; i < kLines; ++i) feed->Push(Line(i));
  });
  worker.join();
  EXPECT_TRUE(received.empty());
  EXPECT_EQ(feed->Pending(), static_cast<std::size_t>(kLines));
  // Each round of the main loop delivers one batch and queues the next.
  dispatcher.ProcessQueued();
  EXPECT_EQ(received.size(), 100u);
  for (int round = 0; round < 100 && received.size() < kLines; ++round) dispatcher.ProcessQueued();
  ASSERT_EQ(received.size(), static_cast<std::size_t>(kLines));
  for (int i = 0; i < kLines; ++i) ASSERT_EQ(received[i], Line(i)) << i;
  for (std::size_t b : batches) EXPECT_LE(b, 100u);
  EXPECT_EQ(feed->Pending(), 0u);
}

TEST_F(ReportFeedTest, LinesPushedWhileTheMainThreadDeliversAreNotStranded) {
  auto feed = MakeFeed(7);
  std::atomic<bool> done{false};
  constexpr int kLines = 20000;
  std::thread worker([&] {
    for (int i = 0; i < kLines; ++i) {
      feed->Push(Line(i));
      if (i % 500 == 0) std::this_thread::yield();
    }
    done = true;
  });
  // Pump while the worker runs, then until nothing is left.
  while (!done || feed->Pending() > 0) dispatcher.PumpFor(std::chrono::milliseconds(1));
  worker.join();
  dispatcher.ProcessQueued();
  ASSERT_EQ(received.size(), static_cast<std::size_t>(kLines));
  for (int i = 0; i < kLines; ++i) ASSERT_EQ(received[i], Line(i)) << i;
}

TEST_F(ReportFeedTest, AfterABatchLinesWaitForTheGatherTickAndAnIdleFeedDeliversAtOnce) {
  auto feed = demo::ReportFeed::Create(
      [this](std::vector<Text>& lines) {
        batches.push_back(lines.size());
        for (auto& l : lines) received.push_back(std::move(l));
      },
      100, std::chrono::milliseconds(20));
  const auto push = [&](int from, int to) {
    std::thread([&] {
      for (int i = from; i < to; ++i) feed->Push(Line(i));
    }).join();
  };
  push(0, 1);
  dispatcher.ProcessQueued();
  EXPECT_EQ(batches, (std::vector<std::size_t>{1}));  // a lone line shows at once
  push(1, 4);
  dispatcher.ProcessQueued();
  EXPECT_EQ(batches.size(), 1u);  // gathered until the tick
  dispatcher.Advance(20);
  EXPECT_EQ(batches, (std::vector<std::size_t>{1, 3}));
  dispatcher.Advance(20);  // nothing came: the timer stops
  EXPECT_EQ(dispatcher.TimerCount(), 0u);
  push(4, 5);
  dispatcher.ProcessQueued();
  EXPECT_EQ(batches, (std::vector<std::size_t>{1, 3, 1}));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(received[i], Line(i)) << i;
  feed->Detach();
  EXPECT_EQ(dispatcher.TimerCount(), 0u);
}

TEST_F(ReportFeedTest, DetachDropsQueuedAndLaterLines) {
  auto feed = MakeFeed(10);
  std::thread([&] { feed->Push(u"queued"); }).join();
  feed->Detach();
  std::thread([&] { feed->Push(u"later"); }).join();
  dispatcher.ProcessQueued();
  dispatcher.ProcessQueued();
  EXPECT_TRUE(received.empty());
  EXPECT_EQ(feed->Pending(), 0u);
}

TEST(ReportFeedWithoutDispatcher, DeliversAtOnce) {
  std::vector<Text> received;
  auto feed = demo::ReportFeed::Create([&](std::vector<Text>& lines) {
    received.insert(received.end(), lines.begin(), lines.end());
  });
  std::thread([&] { feed->Push(u"x"); }).join();
  EXPECT_EQ(received, (std::vector<Text>{u"x"}));
}

}  // namespace
