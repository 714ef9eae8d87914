// Reading hidraw nodes from a fabricated sysfs: identity, names, driver, USB parent,
// report descriptor and the interfaces it gives.
#include "fake_sysfs.h"
#include "device_class.h"
#include "sysfs_hid_device.h"

namespace linuxtest {
namespace {

using qzplatform::linux_ground::ListInterfaces;
using qzplatform::linux_ground::ReadNode;

TEST(Sysfs, ReadsAUsbNode) {
  FakeSysfs sysfs;
  sysfs.Add(2, Vendor64Descriptor());
  DWORD error = 0;
  auto node = ReadNode(sysfs.roots(), 2, &error);
  ASSERT_TRUE(node) << error;
  EXPECT_EQ(node->bus, 3);
  EXPECT_EQ(node->vendor, 0x1209);
  EXPECT_EQ(node->product, 0x0003);
  EXPECT_EQ(node->version, 0x0201) << "bcdDevice of the USB parent";
  EXPECT_EQ(node->name, "Acme Widget");
  EXPECT_EQ(node->driver, "hid-generic");
  EXPECT_EQ(node->hid_id, "0003:1209:0003.0003");
  EXPECT_EQ(node->dev_path, sysfs.roots().dev + "/hidraw2");
  ASSERT_TRUE(node->usb);
  EXPECT_EQ(node->usb->manufacturer, "Acme");
  EXPECT_EQ(node->usb->product, "Widget");
  EXPECT_EQ(node->usb->serial, "SN-0042");
  EXPECT_EQ(node->usb->i_product, 2);
  EXPECT_FALSE(node->numbered);
  ASSERT_EQ(node->collections.size(), 1u);
  EXPECT_EQ(node->collections[0]->caps.InputReportByteLength, 65);
}

TEST(Sysfs, NodeWithoutUsbParentOrDriver) {
  FakeSysfs sysfs;
  FakeNode n;
  n.usb.reset();
  n.driver.clear();
  n.uniq = "u-17";
  n.descriptor = TwoCollectionDescriptor();
  sysfs.Add(n);
  DWORD error = 0;
  auto node = ReadNode(sysfs.roots(), 0, &error);
  ASSERT_TRUE(node);
  EXPECT_FALSE(node->usb);
  EXPECT_EQ(node->version, 0);
  EXPECT_EQ(node->driver, "") << "an unbound device";
  EXPECT_EQ(node->uniq, "u-17");
  EXPECT_TRUE(node->numbered);
  EXPECT_EQ(node->collections.size(), 2u);
}

TEST(Sysfs, MissingAndUnusableNodes) {
  FakeSysfs sysfs;
  sysfs.Add(1, Hex("05 01 09 02 A1 01 09 01"));  // an unclosed collection
  DWORD error = 0;
  std::string why;
  EXPECT_FALSE(ReadNode(sysfs.roots(), 0, &error, &why));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(ReadNode(sysfs.roots(), 1, &error, &why));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_DATA));
  EXPECT_FALSE(why.empty());
  EXPECT_TRUE(ListInterfaces(sysfs.roots()).empty()) << "an unusable node gives no interface";
}

TEST(Sysfs, OneInterfacePerCollectionInNodeOrder) {
  FakeSysfs sysfs;
  sysfs.Add(10, TwoCollectionDescriptor());
  sysfs.Add(9, Vendor64Descriptor());
  auto list = ListInterfaces(sysfs.roots());
  ASSERT_EQ(list.size(), 3u);
  const std::u16string dev = qzplatform::FromUtf8(sysfs.roots().dev);
  EXPECT_EQ(list[0].path, dev + u"/hidraw9");
  EXPECT_EQ(list[1].path, dev + u"/hidraw10&col01");
  EXPECT_EQ(list[1].usage_page, 0x01);
  EXPECT_EQ(list[1].usage, 0x02);
  EXPECT_EQ(list[2].path, dev + u"/hidraw10&col02");
  EXPECT_EQ(list[2].usage_page, 0xFF00);
}

}  // namespace
}  // namespace linuxtest

namespace qzplatform::linux_ground {
namespace {

// The udev rule opens a node to the user only for vendor-defined devices that read
// neither keys nor pointer motion.
TEST(DeviceClass, KeyboardsAndMiceAreNeverVendorOnly) {
  const DeviceClass vendor = ClassifyDescriptor(linuxtest::Vendor64Descriptor());
  EXPECT_TRUE(vendor.vendor);
  EXPECT_FALSE(vendor.keyboard || vendor.mouse);
  EXPECT_EQ(UdevProperties(vendor), "QZ_HID_VENDOR=1\n");
  const DeviceClass mixed = ClassifyDescriptor(linuxtest::TwoCollectionDescriptor());
  EXPECT_TRUE(mixed.vendor && mixed.mouse) << "a mouse with a vendor collection";
  EXPECT_EQ(UdevProperties(mixed), "QZ_HID_VENDOR=1\nQZ_HID_MOUSE=1\n");
  const DeviceClass keyboard = ClassifyDescriptor(linuxtest::Hex(
      "05 01 09 06 A1 01 05 07 19 E0 29 E7 15 00 25 01 75 01 95 08 81 02 C0"));
  EXPECT_TRUE(keyboard.keyboard);
  EXPECT_FALSE(keyboard.vendor);
  EXPECT_EQ(UdevProperties(ClassifyDescriptor(linuxtest::Hex("05 01 09 02 A1 01"))),
            "QZ_HID_UNPARSED=1\n")
      << "a descriptor that does not parse grants nothing";
}

}  // namespace
}  // namespace qzplatform::linux_ground
