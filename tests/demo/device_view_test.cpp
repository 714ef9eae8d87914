// The device information view: the tree of a mouse-like device, the general rows and their
// formats, the capability rows in both forms, and which node shows which rows.
#include <gtest/gtest.h>

#include "presenter/device_view.h"
#include "print_helpers.h"
#include "qzclasses/errors.h"

namespace {

using demo::InfoRow;
using demo::NodePath;
using demo::TreeNode;
using qz::Text;

HIDP_BUTTON_CAPS RangeButton(USAGE page, USAGE min, USAGE max) {
  HIDP_BUTTON_CAPS caps{};
  caps.UsagePage = page;
  caps.ReportID = 3;
  caps.BitField = 2;
  caps.IsRange = TRUE;
  caps.Range.UsageMin = min;
  caps.Range.UsageMax = max;
  caps.Range.StringMin = 0;
  caps.Range.StringMax = 0;
  caps.Range.DesignatorMin = 0;
  caps.Range.DesignatorMax = 0;
  caps.Range.DataIndexMin = 0;
  caps.Range.DataIndexMax = 4;
  return caps;
}

HIDP_VALUE_CAPS Value(USAGE usage, USHORT dataIndex) {
  HIDP_VALUE_CAPS caps{};
  caps.UsagePage = 1;
  caps.BitField = 6;
  caps.NotRange.Usage = usage;
  caps.NotRange.StringIndex = 2;
  caps.NotRange.DesignatorIndex = 0;
  caps.NotRange.DataIndex = dataIndex;
  return caps;
}

// One input button capability (buttons 1 to 5) and two input value capabilities (X, Y).
qz::TqzHidDevice MouseLike() {
  qz::TqzHidDevice d;
  d.NameFriendly = u"Sim Mouse";
  d.Description = u"   ";
  d.Manufacturer = u"Acme";
  d.Service = u"HidUsb";
  d.fAttributes.VendorID = 0x046D;
  d.fAttributes.ProductID = 0xC00E;
  d.fAttributes.VersionNumber = 0x0110;
  d.fCaps.UsagePage = 1;
  d.fCaps.Usage = 2;
  d.fCaps.InputReportByteLength = 8;
  d.fCaps.OutputReportByteLength = 0;
  d.fCaps.NumberInputButtonCaps = 1;
  d.fCaps.NumberInputValueCaps = 2;
  d.fCapsInputButtons = {RangeButton(9, 1, 5)};
  d.fCapsInputValues = {Value(0x30, 5), Value(0x31, 6)};
  return d;
}

TEST(DeviceTree, MouseLikeDeviceHasGeneralButtonAndValueNodes) {
  const auto device = MouseLike();
  const std::vector<TreeNode> expected{
      {u"General HID Info", 0, {}},
      {u"Input Buttons", 0, {{u"Input Button 0", 0, {}}}},
      {u"Input Values", 1, {{u"Input Values 0", 0, {}}, {u"Input Values 1", 0, {}}}},
  };
  EXPECT_EQ(demo::DeviceTree(&device), expected);
  EXPECT_TRUE(demo::DeviceTree(nullptr).empty());
}

TEST(DeviceTree, EveryTableHasItsGroupWithItsNodeData) {
  qz::TqzHidDevice d;
  d.fCaps.NumberOutputButtonCaps = 1;
  d.fCaps.NumberOutputValueCaps = 1;
  d.fCaps.NumberFeatureButtonCaps = 2;
  d.fCaps.NumberFeatureValueCaps = 1;
  const auto tree = demo::DeviceTree(&d);
  ASSERT_EQ(tree.size(), 5u);
  EXPECT_EQ(tree[1].caption, u"Output Buttons");
  EXPECT_EQ(tree[1].data, 2);
  EXPECT_EQ(tree[1].children[0].caption, u"Output Button 0");
  EXPECT_EQ(tree[2].caption, u"Output Values");
  EXPECT_EQ(tree[2].data, 3);
  EXPECT_EQ(tree[3].caption, u"Feature Buttons");
  EXPECT_EQ(tree[3].data, 4);
  EXPECT_EQ(tree[3].children[1].caption, u"Feature Button 1");
  EXPECT_EQ(tree[4].caption, u"Feature Values");
  EXPECT_EQ(tree[4].data, 5);
  EXPECT_EQ(tree[4].children[0].caption, u"Feature Values 0");
}

TEST(GeneralInfoRows, FormatsAndLeavesOutEmptyTexts) {
  const auto device = MouseLike();
  const std::vector<InfoRow> expected{
      {u"Friendly Name", u"Sim Mouse"},
      // Description of blanks and the empty serial number are left out.
      {u"Manufacturer", u"Acme"},
      {u"Service", u"HidUsb"},
      {u"VendorID", u"046D"},
      {u"ProductID", u"C00E"},
      {u"Ver", u"272 [0110h]"},
      {u"Usage Page", u"0001 (Generic)"},
      {u"I/O Length", u"8/0"},
  };
  EXPECT_EQ(demo::GeneralInfoRows(device, std::nullopt), expected);
}

TEST(GeneralInfoRows, AccessModesOnlyWhileOpen) {
  auto device = MouseLike();
  device.SerialNumber = u"SN 1 ";
  const auto rows = demo::GeneralInfoRows(device, demo::AccessModes{true, true});
  EXPECT_EQ(rows[2], (InfoRow{u"S/N", u"SN 1 "}));  // shown untrimmed
  EXPECT_EQ(rows.back(), (InfoRow{u"R/W modes:", u"True / True"}));
  EXPECT_EQ(demo::GeneralInfoRows(device, demo::AccessModes{false, true}).back().value,
            u"False / True");
}

TEST(CapsRows, RangeForm) {
  const std::vector<InfoRow> expected{
      {u"Usage Page", u"0009 (Button)"},
      {u"Report ID", u"03"},
      {u"Bit Field", u"0002"},
      {u"Is Range", u"True"},
      {u"Is Designator Range", u"False"},
      {u"Usage Min/Max", u"1 / 5"},
      {u"String Min/Max", u"0 / 0"},
      {u"Designator Min/Max", u"0 / 0"},
      {u"Data Index Min/Max", u"0 / 4"},
  };
  EXPECT_EQ(demo::ButtonCapsRows(RangeButton(9, 1, 5)), expected);
}

TEST(CapsRows, SingleUsageFormFollowsIsRangeOnly) {
  auto caps = Value(0x30, 5);
  caps.IsStringRange = TRUE;  // does not choose the form
  caps.IsDesignatorRange = TRUE;
  const std::vector<InfoRow> expected{
      {u"Usage Page", u"0001 (Generic)"},
      {u"Report ID", u"00"},
      {u"Bit Field", u"0006"},
      {u"Is Range", u"False"},
      {u"Is Designator Range", u"True"},
      {u"Usage", u"48 [0030h]"},
      {u"String", u"2"},
      {u"Designator", u"0"},
      {u"Data Index", u"5"},
  };
  EXPECT_EQ(demo::ValueCapsRows(caps), expected);
}

TEST(UsageNames, ShownAfterTheNumbersAndBesideTheEntries) {
  // Names from the installed usb.ids; the rows' own text is unchanged.
  const auto device = MouseLike();
  const auto rows = demo::ValueCapsRows(device.fCapsInputValues[0]);
  EXPECT_EQ(rows[0].name, u"Generic Desktop Controls");
  EXPECT_EQ(rows[5], (InfoRow{u"Usage", u"48 [0030h]"}));
  EXPECT_EQ(demo::ValueText(rows[5]), u"48 [0030h]  Direction-X");
  EXPECT_EQ(demo::ValueText(rows[1]), u"00") << "a row without a name shows its value";

  const auto tree = demo::DeviceTree(&device);
  EXPECT_EQ(demo::NodeText(tree[1].children[0]),
            u"Input Button 0: Button 1 (Primary) .. Button 5");
  EXPECT_EQ(demo::NodeText(tree[2].children[1]), u"Input Values 1: Direction-Y");
  EXPECT_EQ(demo::NodeText(tree[2]), u"Input Values");

  qz::TqzHidDevice unloaded;  // counts without tables: no name to give
  unloaded.fCaps.NumberFeatureValueCaps = 1;
  EXPECT_EQ(demo::NodeText(demo::DeviceTree(&unloaded)[1].children[0]), u"Feature Values 0");
}

TEST(NodeInfoRows, GeneralNodeGroupNodeAndEntries) {
  const auto device = MouseLike();
  const auto tree = demo::DeviceTree(&device);
  EXPECT_EQ(demo::NodeInfoRows(tree, {0, -1}, &device, std::nullopt),
            demo::GeneralInfoRows(device, std::nullopt));
  EXPECT_TRUE(demo::NodeInfoRows(tree, {1, -1}, &device, std::nullopt).empty());
  EXPECT_TRUE(demo::NodeInfoRows(tree, {2, -1}, &device, std::nullopt).empty());
  EXPECT_EQ(demo::NodeInfoRows(tree, {1, 0}, &device, std::nullopt),
            demo::ButtonCapsRows(device.fCapsInputButtons[0]));
  EXPECT_EQ(demo::NodeInfoRows(tree, {2, 1}, &device, std::nullopt),
            demo::ValueCapsRows(device.fCapsInputValues[1]));
  EXPECT_TRUE(demo::NodeInfoRows(tree, {}, &device, std::nullopt).empty());
  EXPECT_TRUE(demo::NodeInfoRows(tree, {0, -1}, nullptr, std::nullopt).empty());
  EXPECT_TRUE(demo::NodeInfoRows(tree, {7, -1}, &device, std::nullopt).empty());
}

TEST(NodeInfoRows, ATreeThatNoLongerFitsTheRecordRaisesRangeError) {
  const auto device = MouseLike();
  auto tree = demo::DeviceTree(&device);
  tree[2].children.push_back({u"Input Values 2", 0, {}});
  EXPECT_THROW(demo::NodeInfoRows(tree, {2, 2}, &device, std::nullopt), qz::RangeError);
}

}  // namespace
