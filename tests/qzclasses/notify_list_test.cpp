// The listener list: lookup by code, call order and index errors.
#include "qzclasses/notify_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qzclasses/errors.h"

namespace qz {
namespace {

std::vector<std::string> g_calls;

struct Listener {
  std::string name;
  void OnA(Component*, std::int32_t code) { g_calls.push_back(name + ".A" + std::to_string(code)); }
  void OnB(Component*, std::int32_t code) { g_calls.push_back(name + ".B" + std::to_string(code)); }
};

TqzNotifyEvent A(Listener* l) { return TqzNotifyEvent::Bind<&Listener::OnA>(l); }
TqzNotifyEvent B(Listener* l) { return TqzNotifyEvent::Bind<&Listener::OnB>(l); }

class NotifyListTest : public ::testing::Test {
 protected:
  void SetUp() override { g_calls.clear(); }
  TqzNotifyList list;
  Listener x{"x"}, y{"y"};
};

TEST_F(NotifyListTest, IndexOfMatchesTheMethodOfAnyObject) {
  list.Add(A(&x));
  list.Add(B(&x));
  EXPECT_EQ(list.IndexOf(A(&y)), 0);  // same method on another object counts as equal
  EXPECT_EQ(list.IndexOf(B(&y)), 1);
  EXPECT_EQ(list.IndexOf(TqzNotifyEvent()), -1);
}

TEST_F(NotifyListTest, CallRunsEntriesInOrderWithSenderAndCode) {
  list.Add(B(&y));
  list.Add(A(&x));
  list.Add(B(&x));  // Add does not look for equal entries
  list.Call(nullptr, 3);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"y.B3", "x.A3", "x.B3"}));
}

TEST_F(NotifyListTest, CallOnEmptyListCallsNothing) {
  list.Call(nullptr, 3);
  EXPECT_TRUE(g_calls.empty());
}

TEST_F(NotifyListTest, IndexErrorsAreRangeErrors) {
  list.Add(A(&x));
  EXPECT_THROW(list.Get(1), RangeError);
  EXPECT_THROW(list.Get(-1), RangeError);
  EXPECT_THROW(list.Put(1, A(&x)), RangeError);
  EXPECT_THROW(list.Delete(5), RangeError);
  EXPECT_EQ(list.Count(), 1);
}

struct SelfRemover {
  TqzNotifyList* list = nullptr;
  int calls = 0;
  void On(Component*, std::int32_t) {
    ++calls;
    list->Clear();
  }
};

TEST_F(NotifyListTest, HandlerThatEmptiesTheListMakesCallFailWithRangeError) {
  SelfRemover r{&list};
  list.Add(TqzNotifyEvent::Bind<&SelfRemover::On>(&r));
  list.Add(A(&x));
  EXPECT_THROW(list.Call(nullptr, 3), RangeError);
  EXPECT_EQ(r.calls, 1);
  EXPECT_TRUE(g_calls.empty());
}

}  // namespace
}  // namespace qz
