// The device selection box over an in-memory list: linking, reloading on code 3, the
// user's pick, unlinking, relinking, removal of the component and two boxes on one list.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "qzlinkbox/device_box.h"

namespace {

using qz::Text;

// A list control that records what the box does to it.
class ListControl : public qz::DeviceListControl {
 public:
  void ClearItems() override {
    items.clear();
    index = -1;
    ++clears;
  }
  void AddItem(const Text& text) override { items.push_back(text); }
  std::int32_t ItemCount() const override { return static_cast<std::int32_t>(items.size()); }
  Text ItemText(std::int32_t i) const override { return items.at(static_cast<std::size_t>(i)); }
  std::int32_t ItemIndex() const override { return index; }
  void SetItemIndex(std::int32_t i) override { index = (i >= 0 && i < ItemCount()) ? i : -1; }

  // What the user does: select an item, then the box's change step runs.
  void Pick(qz::TqzDeviceBox& box, std::int32_t i) {
    SetItemIndex(i);
    box.Change();
  }

  std::vector<Text> items;
  std::int32_t index = -1;
  int clears = 0;
};

// An I/O component with a device list of named records and a current index.
class ListIO : public qz::TqzBaseIO {
 public:
  explicit ListIO(std::vector<Text> names) : TqzBaseIO(nullptr), names(std::move(names)) {}
  Text ClassName() const override { return u"ListIO"; }
  std::int32_t GetDeviceIndex() const override { return index; }
  void SetDeviceIndex(std::int32_t value) override {
    index = value;
    TqzBaseIO::SetDeviceIndex(value);
  }
  void DeviceListLoad() override {
    ++loads;
    DeviceListClear();
    for (const Text& name : names) {
      auto* d = new qz::TqzDevice;
      d->NameFriendly = name;
      AddDevice(d);
    }
  }
  void Update() override {
    DeviceListLoad();
    TqzBaseIO::Update();
  }
  bool WMDeviceChange(qz::Message& msg) override {
    ++device_changes;
    return TqzBaseIO::WMDeviceChange(msg);
  }
  std::int32_t Listeners() const { return qzNotifyList.Count(); }
  void Notify(std::int32_t code) { DoNotify(code); }

  std::vector<Text> names;
  std::int32_t index = 0;
  int loads = 0;
  int device_changes = 0;
};

// Counts OnChange and remembers what the control showed when it fired.
struct ChangeSpy {
  void OnChange(qz::Component*) {
    ++fired;
    index_seen = control->ItemIndex();
    clears_seen = control->clears;
  }
  ListControl* control = nullptr;
  int fired = 0;
  std::int32_t index_seen = -2;
  int clears_seen = 0;
};

class DeviceBox : public ::testing::Test {
 protected:
  DeviceBox() { spy.control = &control; box.SetOnChange(qz::TNotifyEvent::Bind<&ChangeSpy::OnChange>(&spy)); }

  ListIO io{{u"Mouse", u"Keyboard", u"Echo"}};
  ListControl control;
  ChangeSpy spy;
  qz::TqzDeviceBox box{nullptr, control};
};

TEST_F(DeviceBox, LinkingLoadsAnEmptyListFillsAndSelectsWithoutChange) {
  io.index = 1;
  box.SetqzLink(&io);
  EXPECT_EQ(io.loads, 1);
  EXPECT_EQ(control.items, (std::vector<Text>{u"Mouse", u"Keyboard", u"Echo"}));
  EXPECT_EQ(control.ItemIndex(), 1);
  EXPECT_EQ(box.GetqzLink(), &io);
  EXPECT_EQ(io.Listeners(), 1);
  EXPECT_EQ(spy.fired, 0);
  EXPECT_EQ(box.ItemDevice(2), io.GetDevice(2));
  // Linking again to the same component reloads but lists the box once.
  box.SetqzLink(&io);
  EXPECT_EQ(io.loads, 1);
  EXPECT_EQ(control.items.size(), 3u);
  EXPECT_EQ(io.Listeners(), 1);
}

TEST_F(DeviceBox, AnIndexOutsideTheListSelectsNothing) {
  for (std::int32_t index : {-1, 3, 99}) {
    io.index = index;
    box.SetqzLink(&io);
    EXPECT_EQ(control.items.size(), 3u) << index;
    EXPECT_EQ(control.ItemIndex(), -1) << index;
  }
}

TEST_F(DeviceBox, PickSetsTheIndexReloadsThenFiresOnChangeOnce) {
  box.SetqzLink(&io);
  const int clears_before = control.clears;
  control.Pick(box, 2);
  EXPECT_EQ(io.index, 2);
  EXPECT_EQ(control.items, (std::vector<Text>{u"Mouse", u"Keyboard", u"Echo"}));
  EXPECT_EQ(control.ItemIndex(), 2);
  EXPECT_EQ(spy.fired, 1);
  // OnChange came after the refill, with the pick still selected.
  EXPECT_GT(spy.clears_seen, clears_before);
  EXPECT_EQ(spy.index_seen, 2);
}

TEST_F(DeviceBox, PickInAnUnlinkedBoxOnlyChangesTheDisplay) {
  control.AddItem(u"left over");
  control.Pick(box, 0);
  EXPECT_EQ(control.ItemIndex(), 0);
  EXPECT_EQ(spy.fired, 0);
}

TEST_F(DeviceBox, UnlinkingEmptiesTheBoxAndLeavesTheListeners) {
  box.SetqzLink(&io);
  box.SetqzLink(nullptr);
  EXPECT_TRUE(control.items.empty());
  EXPECT_EQ(control.ItemIndex(), -1);
  EXPECT_EQ(io.Listeners(), 0);
  EXPECT_EQ(box.ItemDevice(0), nullptr);
  box.Reload();  // with no link this only empties the box
  EXPECT_TRUE(control.items.empty());
}

TEST_F(DeviceBox, CodeThreeRefillsOtherCodesAreIgnored) {
  box.SetqzLink(&io);
  io.names = {u"Gamepad"};
  io.Notify(2);
  EXPECT_EQ(control.items.size(), 3u);
  io.Notify(1);
  EXPECT_EQ(control.items.size(), 3u);
  io.index = 0;
  io.Update();
  EXPECT_EQ(control.items, (std::vector<Text>{u"Gamepad"}));
  EXPECT_EQ(control.ItemIndex(), 0);
  EXPECT_EQ(box.ItemDevice(0), io.GetDevice(0));
  EXPECT_EQ(box.ItemDevice(1), nullptr);  // never a record the reload freed
}

TEST_F(DeviceBox, FreedComponentClearsLinkAndSelectionButKeepsTheTexts) {
  auto owned = std::make_unique<ListIO>(std::vector<Text>{u"A", u"B"});
  box.SetqzLink(owned.get());
  ASSERT_EQ(control.ItemIndex(), 0);
  owned.reset();
  EXPECT_EQ(box.GetqzLink(), nullptr);
  EXPECT_EQ(control.ItemIndex(), -1);
  EXPECT_EQ(control.items, (std::vector<Text>{u"A", u"B"}));
  EXPECT_EQ(box.ItemDevice(0), nullptr);
  control.Pick(box, 1);
  EXPECT_EQ(spy.fired, 0);
}

TEST_F(DeviceBox, RelinkingLeavesTheFormerComponentSoItNeverCallsADestroyedBox) {
  ListIO other({u"Other"});
  {
    ListControl c;
    qz::TqzDeviceBox temporary(nullptr, c);
    temporary.SetqzLink(&io);
    temporary.SetqzLink(&other);
    EXPECT_EQ(io.Listeners(), 0);
    EXPECT_EQ(other.Listeners(), 1);
    EXPECT_EQ(c.items, (std::vector<Text>{u"Other"}));
  }
  EXPECT_EQ(other.Listeners(), 0);
  io.Update();  // would call the destroyed box if it were still listed
  other.Update();
}

// Two boxes of one class on one component are two listeners: both follow its updates,
// and the second one's unlinking leaves the first one listening.
TEST_F(DeviceBox, TwoBoxesOnOneComponentBothListen) {
  ListControl second_control;
  qz::TqzDeviceBox second(nullptr, second_control);
  box.SetqzLink(&io);
  second.SetqzLink(&io);
  EXPECT_EQ(io.Listeners(), 2);
  io.names = {u"Only"};
  io.Update();
  EXPECT_EQ(control.items, (std::vector<Text>{u"Only"}));
  EXPECT_EQ(second_control.items, (std::vector<Text>{u"Only"}));
  second.SetqzLink(nullptr);
  EXPECT_EQ(io.Listeners(), 1);
  io.names = {u"Again"};
  io.Update();
  EXPECT_EQ(control.items, (std::vector<Text>{u"Again"}));
}

TEST_F(DeviceBox, DeviceChangeGoesToTheLinkedComponentOnly) {
  qz::Message msg;
  msg.Msg = WM_DEVICECHANGE;
  box.WMDeviceChange(msg);  // unlinked: nothing to pass it to
  EXPECT_EQ(io.device_changes, 0);
  box.SetqzLink(&io);
  io.names = {u"Plugged"};
  msg.WParam = 0x0007;  // the device tree changed: the component updates, the box follows
  box.WMDeviceChange(msg);
  EXPECT_EQ(io.device_changes, 1);
  EXPECT_EQ(control.items, (std::vector<Text>{u"Plugged"}));
}

}  // namespace
