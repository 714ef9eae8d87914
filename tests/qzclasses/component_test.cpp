// The component model: ownership, removal notices and the loading state.
#include "qzclasses/component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qzclasses/errors.h"

namespace qz {
namespace {

// Records its own destruction and every removal notice it gets, into a shared journal.
class Probe : public Component {
 public:
  Probe(Component* owner, std::string tag, std::vector<std::string>& journal)
      : Component(owner), tag_(std::move(tag)), journal_(journal) {}
  ~Probe() override { journal_.push_back("~" + tag_); }

  void Notification(Component* c, Operation op) override {
    if (op == Operation::Remove) {
      journal_.push_back(tag_ + " told");
      if (c == link) link = nullptr;
    }
  }
  void Loaded() override {
    journal_.push_back(tag_ + " loaded, loading=" + (Loading() ? "1" : "0"));
    Component::Loaded();
  }

  Component* link = nullptr;

 private:
  std::string tag_;
  std::vector<std::string>& journal_;
};

TEST(ComponentTest, OwnerDestroysItsComponentsLastAddedFirst) {
  std::vector<std::string> journal;
  auto* owner = new Probe(nullptr, "owner", journal);
  auto* a = new Probe(owner, "a", journal);
  new Probe(owner, "b", journal);
  new Probe(a, "a1", journal);
  EXPECT_EQ(owner->ComponentCount(), 2u);
  EXPECT_EQ(a->Owner(), owner);
  delete owner;
  EXPECT_EQ(journal, (std::vector<std::string>{"~owner", "~b", "~a", "~a1"}));
}

TEST(ComponentTest, DeletingAChildRemovesItFromItsOwner) {
  std::vector<std::string> journal;
  Probe owner(nullptr, "owner", journal);
  auto* a = new Probe(&owner, "a", journal);
  auto* b = new Probe(&owner, "b", journal);
  delete a;
  ASSERT_EQ(owner.ComponentCount(), 1u);
  EXPECT_EQ(owner.GetComponent(0), b);
  EXPECT_THROW(owner.GetComponent(1), RangeError);
}

TEST(ComponentTest, RemovalNoticeReachesEveryLinkedComponentOnce) {
  std::vector<std::string> journal;
  Probe log(nullptr, "log", journal);
  Probe io1(nullptr, "io1", journal);
  {
    Probe io2(nullptr, "io2", journal);
    io1.link = &log;
    io2.link = &log;
    log.FreeNotification(&io1);
    log.FreeNotification(&io1);  // asking twice still gives one notice
    io2.FreeNotification(&log);
  }
  // io2 went first: log was told about io2 (mutual link).
  EXPECT_EQ(journal, (std::vector<std::string>{"~io2", "log told"}));
  journal.clear();
  {
    Probe gone(nullptr, "gone", journal);
    gone.FreeNotification(&io1);
    gone.RemoveFreeNotification(&io1);
  }
  EXPECT_EQ(journal, (std::vector<std::string>{"~gone"}));
}

TEST(ComponentTest, LinkedComponentClearsItsReferenceWhenTheOtherGoes) {
  std::vector<std::string> journal;
  Probe io(nullptr, "io", journal);
  {
    auto* owner = new Probe(nullptr, "form", journal);
    auto* log = new Probe(owner, "log", journal);
    io.link = log;
    log->FreeNotification(&io);
    delete owner;
  }
  EXPECT_EQ(io.link, nullptr);
}

TEST(ComponentTest, LoadStoredAppliesThenRunsLoadedOnce) {
  std::vector<std::string> journal;
  Probe c(nullptr, "c", journal);
  bool loadingDuringApply = false;
  LoadStored(c, [&] { loadingDuringApply = c.Loading(); });
  EXPECT_TRUE(loadingDuringApply);
  EXPECT_FALSE(c.Loading());
  EXPECT_EQ(journal, (std::vector<std::string>{"c loaded, loading=1"}));
}

TEST(ComponentTest, LoadStoredFailureEndsLoadingWithoutLoadedStep) {
  std::vector<std::string> journal;
  Probe c(nullptr, "c", journal);
  EXPECT_THROW(LoadStored(c, [] { throw Error(u"bad stored value"); }), Error);
  EXPECT_FALSE(c.Loading());
  EXPECT_TRUE(journal.empty());
}

}  // namespace
}  // namespace qz
