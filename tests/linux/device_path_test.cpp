// Device interface paths of the linux ground and the error codes it gives for what
// Linux reports.
#include <gtest/gtest.h>

#include <cerrno>

#include "device_errors.h"
#include "device_path.h"

namespace qzplatform::linux_ground {
namespace {

TEST(DevicePath, ParsesNodesAndCollections) {
  auto plain = ParseDevicePath(u"/dev/hidraw12", "/dev");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->node, 12u);
  EXPECT_EQ(plain->collection, 0u);
  EXPECT_FALSE(plain->names_collection);

  auto second = ParseDevicePath(u"/dev/hidraw3&COL02", "/dev/");
  ASSERT_TRUE(second) << "the tag matches in any case; the root may end in a slash";
  EXPECT_EQ(second->node, 3u);
  EXPECT_EQ(second->collection, 1u);
  EXPECT_TRUE(second->names_collection);

  auto hex = ParseDevicePath(u"/tmp/x/dev/hidraw0&col1a", "/tmp/x/dev");
  ASSERT_TRUE(hex);
  EXPECT_EQ(hex->collection, 0x19u);
}

TEST(DevicePath, RefusesWhatIsNoInterface) {
  for (const char16_t* path :
       {u"/dev/hidraw", u"/dev/hidrawx", u"/dev/hidraw-1", u"/dev/hidraw1&col00",
        u"/dev/hidraw1&col1", u"/dev/hidraw1&col001", u"/dev/hidraw1&colGG", u"/dev/hidraw1&",
        u"/dev/hidraw99999999999", u"/dev/sub/hidraw1", u"/devx/hidraw1", u"/dev/usb/hiddev0",
        u"hidraw1", u""})
    EXPECT_FALSE(ParseDevicePath(path, "/dev")) << std::string(path, path + std::char_traits<char16_t>::length(path));
}

TEST(DevicePath, FormatsWhatItParses) {
  EXPECT_EQ(FormatDevicePath("/dev", 4, 0, 1), u"/dev/hidraw4");
  EXPECT_EQ(FormatDevicePath("/dev/", 4, 0, 2), u"/dev/hidraw4&col01");
  EXPECT_EQ(FormatDevicePath("/dev", 4, 15, 16), u"/dev/hidraw4&col10");
  auto back = ParseDevicePath(FormatDevicePath("/dev", 7, 15, 16), "/dev");
  ASSERT_TRUE(back);
  EXPECT_EQ(back->node, 7u);
  EXPECT_EQ(back->collection, 15u);
}

TEST(DeviceErrors, OpenFailuresAsWindowsReportsThem) {
  EXPECT_EQ(OpenError(ENOENT), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(OpenError(ENODEV), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(OpenError(EACCES), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(OpenError(EPERM), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(OpenError(EBUSY), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

TEST(DeviceErrors, TransferFailuresTellUnplugFromRefusal) {
  EXPECT_EQ(DeviceError(EIO, false), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
  EXPECT_EQ(DeviceError(EIO, true), static_cast<DWORD>(ERROR_GEN_FAILURE))
      << "a device that is still there refused the request";
  EXPECT_EQ(DeviceError(ENODEV, true), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
  EXPECT_EQ(DeviceError(EINVAL, true), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(DeviceError(EMSGSIZE, true), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(DeviceError(EPIPE, true), static_cast<DWORD>(ERROR_GEN_FAILURE));
  EXPECT_EQ(DeviceError(ENOTTY, true), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
  EXPECT_EQ(DeviceError(ETIMEDOUT, true), static_cast<DWORD>(ERROR_SEM_TIMEOUT));
  // Every code given has a system text, so log lines never show an empty reason.
  for (int e : {ENOENT, EACCES, EBUSY, ENODEV, EIO, EINVAL, EPIPE, ENOTTY, ETIMEDOUT, ENOMEM,
                EFAULT, EBADF, ENOSPC}) {
    WCHAR text[256];
    EXPECT_GT(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, DeviceError(e, true), 0, text,
                             256, nullptr),
              0u)
        << e;
    EXPECT_GT(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, OpenError(e), 0, text, 256,
                             nullptr),
              0u)
        << e;
  }
}

}  // namespace
}  // namespace qzplatform::linux_ground
