// The base I/O component's device list.
#include <gtest/gtest.h>

#include "fake_io.h"

namespace qz {
namespace {

using test::FakeIO;

TqzDevice* Record(std::int32_t key, const char16_t* name = u"") {
  auto* d = new TqzDevice;
  d->Data = key;
  d->NameFriendly = name;
  return d;
}

// Each record's Index matches its position and its Parent is the component.
void ExpectConsistent(const FakeIO& io) {
  for (std::int32_t i = 0; i < io.GetDeviceCount(); ++i) {
    EXPECT_EQ(io.GetDevice(i)->GetIndex(), i);
    EXPECT_EQ(io.GetDevice(i)->GetParent(), &io);
  }
}

class DeviceListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (std::int32_t key : {10, 20, 30}) io.InsertDevice(Record(key));
  }
  std::vector<std::int32_t> Keys() const {
    std::vector<std::int32_t> keys;
    for (std::int32_t i = 0; i < io.GetDeviceCount(); ++i) keys.push_back(io.GetDevice(i)->Data);
    return keys;
  }
  FakeIO io{nullptr};
};

TEST_F(DeviceListTest, InsertInTheMiddleShiftsTheFollowingIndexes) {
  TqzDevice* d20 = io.GetDevice(1);
  TqzDevice* d30 = io.GetDevice(2);
  EXPECT_EQ(io.InsertDevice(Record(15)), 1);
  EXPECT_EQ(d20->GetIndex(), 2);
  EXPECT_EQ(d30->GetIndex(), 3);
  EXPECT_EQ(Keys(), (std::vector<std::int32_t>{10, 15, 20, 30}));
  ExpectConsistent(io);
}

TEST_F(DeviceListTest, InsertAtFrontAndAtEnd) {
  EXPECT_EQ(io.InsertDevice(Record(5)), 0);
  EXPECT_EQ(io.InsertDevice(Record(40)), 4);
  EXPECT_EQ(Keys(), (std::vector<std::int32_t>{5, 10, 20, 30, 40}));
  ExpectConsistent(io);
}

TEST_F(DeviceListTest, InsertOfAnExistingKeyIsRefusedAndLeavesTheRecordToTheCaller) {
  TqzDevice dup;
  dup.Data = 20;
  EXPECT_EQ(io.InsertDevice(&dup), -1);
  EXPECT_EQ(Keys(), (std::vector<std::int32_t>{10, 20, 30}));
  EXPECT_EQ(dup.GetParent(), nullptr);
  EXPECT_EQ(dup.GetIndex(), 0);
  dup.Data = 30;  // equal to the last key: not appended
  EXPECT_EQ(io.InsertDevice(&dup), -1);
}

TEST_F(DeviceListTest, AddAppendsUnderTheFriendlyNameAtThatTime) {
  TqzDevice* d = Record(0, u"Mouse");
  EXPECT_EQ(io.AddDevice(d), 3);
  d->NameFriendly = u"Renamed";
  TqzDeviceList list;
  io.GetDeviceList(&list);
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[3].first, u"Mouse");
  EXPECT_EQ(list[3].second, d);  // shared, not copied
}

TEST_F(DeviceListTest, BadAddsAreRefused) {
  EXPECT_THROW(io.AddDevice(nullptr), Error);
  EXPECT_THROW(io.InsertDevice(nullptr), Error);
  EXPECT_THROW(io.AddDevice(io.GetDevice(0)), Error);  // would be freed twice
  EXPECT_EQ(io.GetDeviceCount(), 3);
}

TEST_F(DeviceListTest, GetDeviceOutsideTheListIsNull) {
  EXPECT_EQ(io.GetDevice(-1), nullptr);
  EXPECT_EQ(io.GetDevice(io.GetDeviceCount()), nullptr);
  TqzDevice stranger;
  EXPECT_EQ(io.IndexOfDevice(&stranger), -1);
  EXPECT_EQ(io.IndexOfDevice(io.GetDevice(2)), 2);
}

TEST_F(DeviceListTest, ClearWithoutFreeLeavesRecordsAlive) {
  std::vector<TqzDevice*> records;
  for (std::int32_t i = 0; i < io.GetDeviceCount(); ++i) records.push_back(io.GetDevice(i));
  io.flClearDeviceListWithFree = false;
  io.DeviceListClear();
  EXPECT_EQ(io.GetDeviceCount(), 0);
  for (TqzDevice* d : records) {
    EXPECT_EQ(d->Data % 10, 0);  // still readable (sanitizers would catch a free)
    delete d;
  }
}

TEST(DeviceListLoadTest, GetDeviceListLoadsAnEmptyListEvenWithoutTarget) {
  FakeIO io(nullptr);
  io.load_names = {u"Keyboard", u""};
  io.GetDeviceList(nullptr);
  EXPECT_EQ(io.loads, 1);
  TqzDeviceList list{{u"stale", nullptr}};
  io.GetDeviceList(&list);
  EXPECT_EQ(io.loads, 1);  // not empty any more: no reload
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].first, u"Keyboard");
  EXPECT_EQ(list[1].first, u"");  // an empty name stands as an empty text
}

}  // namespace
}  // namespace qz
