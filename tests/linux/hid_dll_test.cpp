// The linux ground's HID.DLL over a fabricated tree: identity and strings from sysfs,
// caps per collection, request checks made before the device is asked, opens.
#include <cstring>
#include <filesystem>

#include "fake_sysfs.h"
#include "qzplatform/hidshared/preparsed_tokens.h"

namespace linuxtest {
namespace {

using simtest::HidDll;

class HidDllTest : public LinuxGroundTest {
 protected:
  void SetUp() override {
    LinuxGroundTest::SetUp();
    sysfs_.Add(0, Vendor64Descriptor());
    FakeNode bare;  // no USB parent: a uhid or Bluetooth device
    bare.number = 1;
    bare.usb.reset();
    bare.name = "Bare Pad";
    bare.uniq = "aa:bb";
    bare.vendor = 0x0A0B;
    bare.descriptor = TwoCollectionDescriptor();
    sysfs_.Add(bare);
  }

  // How many descriptors of this process are open on `path`.
  static int OpenDescriptors(const std::string& path) {
    int count = 0;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
      std::error_code ec;
      if (std::filesystem::read_symlink(fd.path(), ec) == path) ++count;
    }
    return count;
  }

  std::u16string String(PFN_HidD_GetString get, HANDLE h, BOOLEAN* ok) {
    WCHAR buffer[64] = {};
    *ok = get(h, buffer, 126);
    return qzplatform::AsChar16(buffer);
  }
};

TEST_F(HidDllTest, IdentityAndStringsOfAUsbDevice) {
  HidDll hid;
  Handle h = Open(Dev("hidraw0"), 0);
  ASSERT_TRUE(h.valid()) << GetLastError();
  HIDD_ATTRIBUTES a{};
  ASSERT_TRUE(hid.GetAttributes(h.get(), &a));
  EXPECT_EQ(a.Size, sizeof a);
  EXPECT_EQ(a.VendorID, 0x1209);
  EXPECT_EQ(a.ProductID, 0x0003);
  EXPECT_EQ(a.VersionNumber, 0x0201);
  BOOLEAN ok = FALSE;
  EXPECT_EQ(String(hid.GetProductString, h.get(), &ok), u"Widget");
  EXPECT_TRUE(ok);
  EXPECT_EQ(String(hid.GetManufacturerString, h.get(), &ok), u"Acme");
  EXPECT_EQ(String(hid.GetSerialNumberString, h.get(), &ok), u"SN-0042");
  WCHAR buffer[64] = {};
  ASSERT_TRUE(hid.GetIndexedString(h.get(), 2, buffer, sizeof buffer));
  EXPECT_EQ(std::u16string(qzplatform::AsChar16(buffer)), u"Widget") << "iProduct is 2";
  EXPECT_FALSE(hid.GetIndexedString(h.get(), 7, buffer, sizeof buffer));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
}

TEST_F(HidDllTest, ReportDescriptorIsTheWholeDevices) {
  HidDll hid;
  Handle h = Open(Dev("hidraw1&col02"), 0);
  ASSERT_TRUE(h.valid());
  ULONG length = 0;
  EXPECT_FALSE(hid.GetReportDescriptor(h.get(), nullptr, 0, &length));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  ASSERT_EQ(length, TwoCollectionDescriptor().size());
  Bytes descriptor(length);
  ASSERT_TRUE(hid.GetReportDescriptor(h.get(), descriptor.data(), length, &length));
  EXPECT_EQ(descriptor, TwoCollectionDescriptor());
}

TEST_F(HidDllTest, StringsOfADeviceWithoutUsbParent) {
  HidDll hid;
  Handle h = Open(Dev("hidraw1&col02"), 0);
  ASSERT_TRUE(h.valid());
  BOOLEAN ok = FALSE;
  EXPECT_EQ(String(hid.GetProductString, h.get(), &ok), u"Bare Pad");
  EXPECT_TRUE(ok);
  EXPECT_EQ(String(hid.GetSerialNumberString, h.get(), &ok), u"aa:bb");
  String(hid.GetManufacturerString, h.get(), &ok);
  EXPECT_FALSE(ok) << "only USB devices name their maker";
  HIDD_ATTRIBUTES a{};
  ASSERT_TRUE(hid.GetAttributes(h.get(), &a));
  EXPECT_EQ(a.VendorID, 0x0A0B);
  EXPECT_EQ(a.VersionNumber, 0);
}

TEST_F(HidDllTest, EachCollectionHasItsOwnCaps) {
  HidDll hid;
  const std::size_t tokens = qzplatform::hidshared::LivePreparsedCount();
  struct Expect {
    const char* path;
    USHORT page, usage, in, out, feature;
  } expected[] = {{"hidraw1&col01", 0x01, 0x02, 4, 0, 0},
                  {"hidraw1&col02", 0xFF00, 0x02, 8, 8, 4},
                  {"hidraw1", 0x01, 0x02, 4, 0, 0},  // the plain path: the first collection
                  {"hidraw0", 0xFF00, 0x01, 65, 65, 65}};
  for (const Expect& e : expected) {
    SCOPED_TRACE(e.path);
    Handle h = Open(Dev(e.path), 0);
    ASSERT_TRUE(h.valid());
    PHIDP_PREPARSED_DATA ppd = nullptr;
    ASSERT_TRUE(hid.GetPreparsedData(h.get(), &ppd));
    HIDP_CAPS caps{};
    ASSERT_EQ(hid.GetCaps(ppd, &caps), HIDP_STATUS_SUCCESS);
    EXPECT_EQ(caps.UsagePage, e.page);
    EXPECT_EQ(caps.Usage, e.usage);
    EXPECT_EQ(caps.InputReportByteLength, e.in);
    EXPECT_EQ(caps.OutputReportByteLength, e.out);
    EXPECT_EQ(caps.FeatureReportByteLength, e.feature);
    EXPECT_TRUE(hid.FreePreparsedData(ppd));
    EXPECT_EQ(hid.GetCaps(ppd, &caps), HIDP_STATUS_INVALID_PREPARSED_DATA) << "freed";
  }
  EXPECT_EQ(qzplatform::hidshared::LivePreparsedCount(), tokens);
}

TEST_F(HidDllTest, OpensThatFail) {
  EXPECT_EQ(OpenError(Dev("hidraw7"), GENERIC_READ), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(OpenError(Dev("hidraw1&col03"), GENERIC_READ),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(OpenError(Dev("hidraw0&col02"), 0), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  // Windows' sharing rules hold between our own opens.
  Handle alone = Open(Dev("hidraw1&col02"), GENERIC_READ | GENERIC_WRITE, 0);
  ASSERT_TRUE(alone.valid());
  EXPECT_EQ(OpenError(Dev("hidraw1&col02"), GENERIC_READ),
            static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(OpenError(Dev("hidraw1&col02"), 0), 0u) << "an open without access takes no part";
  EXPECT_EQ(OpenError(Dev("hidraw1&col01"), GENERIC_READ), 0u) << "another interface";
  alone.reset();
  EXPECT_EQ(OpenError(Dev("hidraw1&col02"), GENERIC_READ), 0u);
  // A path outside the device root is a regular file, not a device.
  EXPECT_EQ(OpenError(sysfs_.roots().sysfs + "/class/hidraw/hidraw0/device/uevent", GENERIC_READ),
            0u);
}

// Opening a hidraw node starts the device's input and closing it stops it again, which
// costs a USB device a round on its bus: discovery's opens without access leave the node
// closed and answer from sysfs.
TEST_F(HidDllTest, AnOpenWithoutAccessOpensTheNodeOnlyForAReportRequest) {
  HidDll hid;
  const std::string node = Dev("hidraw1");
  const int device_end = OpenDescriptors(node);  // the fabricated device's own end
  Handle h = Open(node + "&col02", 0);
  ASSERT_TRUE(h.valid());
  HIDD_ATTRIBUTES a{};
  ASSERT_TRUE(hid.GetAttributes(h.get(), &a));
  EXPECT_EQ(a.VendorID, 0x0A0B);
  WCHAR name[64] = {};
  ASSERT_TRUE(hid.GetProductString(h.get(), name, sizeof name));
  EXPECT_EQ(std::u16string(qzplatform::AsChar16(name)), u"Bare Pad");
  EXPECT_EQ(OpenDescriptors(node), device_end);
  Bytes report(8, 0);
  report[0] = 3;
  EXPECT_FALSE(hid.GetFeature(h.get(), report.data(), 8));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION))
      << "the request reached the node";
  EXPECT_EQ(OpenDescriptors(node), device_end + 1);
  h.reset();
  EXPECT_EQ(OpenDescriptors(node), device_end);
}

TEST_F(HidDllTest, RequestsAreCheckedBeforeTheDeviceIsAsked) {
  HidDll hid;
  Handle h = Open(Dev("hidraw1&col02"), GENERIC_READ | GENERIC_WRITE);
  ASSERT_TRUE(h.valid());
  Bytes report(8, 0);
  report[0] = 3;
  EXPECT_FALSE(hid.GetFeature(h.get(), report.data(), 3));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << "shorter than 4";
  report[0] = 2;
  EXPECT_FALSE(hid.GetFeature(h.get(), report.data(), 8));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER))
      << "2 is no feature report of this collection";
  report[0] = 3;
  EXPECT_FALSE(hid.GetFeature(h.get(), report.data(), 8));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION))
      << "a FIFO knows no hidraw request: the request did reach the node";

  Handle mouse = Open(Dev("hidraw1&col01"), GENERIC_READ | GENERIC_WRITE);
  report[0] = 1;
  EXPECT_FALSE(hid.SetOutputReport(mouse.get(), report.data(), 8));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION)) << "no output report";
  Handle read_only = Open(Dev("hidraw1&col02"), GENERIC_READ);
  report[0] = 2;
  EXPECT_FALSE(hid.SetOutputReport(read_only.get(), report.data(), 8));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  Handle write_only = Open(Dev("hidraw1&col02"), GENERIC_WRITE);
  EXPECT_FALSE(hid.GetInputReport(write_only.get(), report.data(), 8));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  HANDLE stale = h.get();
  h.reset();
  HIDD_ATTRIBUTES a{};
  EXPECT_FALSE(hid.GetAttributes(stale, &a));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
}  // namespace linuxtest
