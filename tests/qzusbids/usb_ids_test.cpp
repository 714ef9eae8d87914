// Tests of the usb.ids reader: the sections it keeps, the lines it skips, the fallback names.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "qzusbids/usb_ids.h"

namespace {

using qzusbids::UsbIds;

// A small file in the real layout, with invented names and a few lines that must be skipped.
constexpr std::string_view kSample =
    "# Comment at the top\n"
    "\n"
    "1a2b  First Maker\n"
    "\t0001  Desk Pad\n"
    "\t\t00  Interface line, not a product\n"
    "# a comment between products keeps the vendor\n"
    "\tbeef  Knob Box\r\n"
    "\t12  Two-digit product, skipped\n"
    "12g4  Not hex, skipped\n"
    "\t0002  Product under a skipped heading\n"
    "ffff  Last Maker\n"
    "C 03  Human Interface Device\n"
    "\t01  Boot Interface Subclass\n"
    "HUT 01  Generic Desktop Controls\n"
    "\t030  X\n"
    "\t031\n"
    "HUT 09  Buttons\n"
    "\t001  Button 1 (Primary)\n"
    "HUT zz  Not a page\n"
    "\t002  Stray usage\n";

TEST(UsbIds, ReadsVendorsProductsAndUsagePages) {
  const UsbIds ids = UsbIds::Parse(kSample);
  EXPECT_EQ(ids.Vendor(0x1A2B), "First Maker");
  EXPECT_EQ(ids.Vendor(0xFFFF), "Last Maker");
  EXPECT_EQ(ids.Product(0x1A2B, 0x0001), "Desk Pad");
  EXPECT_EQ(ids.Product(0x1A2B, 0xBEEF), "Knob Box");  // CR of a CRLF line dropped
  EXPECT_EQ(ids.UsagePage(0x01), "Generic Desktop Controls");
  EXPECT_EQ(ids.Usage(0x01, 0x30), "X");
  EXPECT_EQ(ids.UsagePage(0x09), "Buttons");
  EXPECT_EQ(ids.Usage(0x09, 0x01), "Button 1 (Primary)");
}

TEST(UsbIds, SkipsLinesItCannotRead) {
  const UsbIds ids = UsbIds::Parse(kSample);
  EXPECT_EQ(ids.Product(0x1A2B, 0x0012), "");
  EXPECT_EQ(ids.Product(0x1A2B, 0x0000), "");  // interface line
  EXPECT_EQ(ids.Product(0x1A2B, 0x0002), "");  // its heading was skipped
  EXPECT_EQ(ids.Product(0xFFFF, 0x0001), "");  // a class's subclass, not a product
  EXPECT_EQ(ids.Usage(0x01, 0x31), "Unknown 0x0001:0x0031");  // no name
  EXPECT_EQ(ids.Usage(0x09, 0x02), "Button 2");  // not the stray usage after a bad heading
}

TEST(UsbIds, BuildsNamesForWhatItDoesNotKnow) {
  const UsbIds ids = UsbIds::Parse("");
  EXPECT_EQ(ids.Vendor(0x1A2B), "");
  EXPECT_EQ(ids.Product(0x1A2B, 0x0001), "");
  EXPECT_EQ(ids.UsagePage(0xFF00), "Vendor-defined 0xFF00");
  EXPECT_EQ(ids.Usage(0xFFA0, 0x0001), "Vendor-defined 0xFFA0:0x0001");
  EXPECT_EQ(ids.UsagePage(0x1234), "Unknown page 0x1234");
  EXPECT_EQ(ids.Usage(0x0001, 0x00F0), "Unknown 0x0001:0x00F0");
  EXPECT_EQ(ids.Usage(0x0009, 12), "Button 12");
  EXPECT_EQ(ids.Usage(0x000A, 3), "Instance 3");
}

// The only test that loads the system names, so the variable is set before the first use.
TEST(UsbIds, SystemNamesComeFromTheFileInTheEnvironment) {
  const std::string path = ::testing::TempDir() + "qzusbids_test_usb.ids";
  std::ofstream(path, std::ios::binary) << kSample;
#ifdef _WIN32
  ASSERT_EQ(_putenv_s("QZ_USB_IDS", path.c_str()), 0);
#else
  ASSERT_EQ(setenv("QZ_USB_IDS", path.c_str(), 1), 0);
#endif
  EXPECT_EQ(UsbIds::System().Vendor(0x1A2B), "First Maker");
  EXPECT_EQ(&UsbIds::System(), &UsbIds::System());
}

}  // namespace
