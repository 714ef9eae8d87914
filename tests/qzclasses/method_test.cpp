// Method references: binding, calling and equality by code.
#include "qzclasses/method.h"

#include <gtest/gtest.h>

namespace qz {
namespace {

struct Counter {
  int total = 0;
  void AddA(int n) { total += n; }
  void AddB(int n) { total += 100 * n; }
  int Twice(int n) const { return 2 * n; }
};

struct Base {
  virtual ~Base() = default;
  int tag = 1;
  virtual int Id() { return tag; }
};
struct Other {
  int padding[4] = {};
};
struct Derived : Other, Base {
  int Id() override { return tag + 10; }
};

TEST(MethodTest, CallsTheBoundMemberOnItsObject) {
  Counter a, b;
  auto ma = Method<void(int)>::Bind<&Counter::AddA>(&a);
  auto mb = Method<void(int)>::Bind<&Counter::AddB>(&b);
  ma(2);
  mb(3);
  EXPECT_EQ(a.total, 2);
  EXPECT_EQ(b.total, 300);
  const auto twice = Method<int(int)>::Bind<&Counter::Twice>(&a);
  EXPECT_EQ(twice(21), 42);
}

TEST(MethodTest, EqualityComparesCodeOnly) {
  Counter a, b;
  auto a1 = Method<void(int)>::Bind<&Counter::AddA>(&a);
  auto b1 = Method<void(int)>::Bind<&Counter::AddA>(&b);
  auto a2 = Method<void(int)>::Bind<&Counter::AddB>(&a);
  EXPECT_TRUE(a1 == b1);   // same method, other object
  EXPECT_FALSE(a1 == a2);  // same object, other method
  EXPECT_NE(a1.Object(), b1.Object());
}

TEST(MethodTest, BaseMemberThroughDerivedPointerAdjustsTheObject) {
  Derived d;
  auto m = Method<int()>::Bind<&Base::Id>(&d);
  EXPECT_EQ(m(), 11);  // virtual dispatch on the right subobject
}

TEST(MethodTest, UnassignedIsFalseAndCallingItThrows) {
  Method<void(int)> none;
  EXPECT_FALSE(none);
  EXPECT_FALSE(none.Assigned());
  EXPECT_THROW(none(1), Error);
  EXPECT_TRUE(none == Method<void(int)>());
}

}  // namespace
}  // namespace qz
