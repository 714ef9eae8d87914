// Opening simulated devices: Windows' sharing rules, refused access, exclusive use,
// absent devices and paths.
#include <cstdio>
#include <filesystem>

#include "sim_fixture.h"
#include "test_devices.h"

namespace simtest {
namespace {

class OpenTest : public SimTest {
 protected:
  void SetUp() override { Load(kDevices); }
};

struct ShareCase {
  const char* what;
  DWORD first_access, first_share;
  DWORD second_access, second_share;
  DWORD expected;  // CreateFileW's error for the second open
};

TEST_F(OpenTest, SecondOpenFollowsWindowsSharingRules) {
  constexpr DWORD R = GENERIC_READ, W = GENERIC_WRITE, SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE;
  const ShareCase cases[] = {
      {"both shared", R | W, SR | SW, R | W, SR | SW, 0},
      {"read shares read", R, SR, R, SR, 0},
      {"writer meets read-only sharing", R, SR, W, SR | SW, ERROR_SHARING_VIOLATION},
      {"new open denies the reader", R, SR | SW, R, SW, ERROR_SHARING_VIOLATION},
      {"new open denies the writer", W, SR | SW, R, SR, ERROR_SHARING_VIOLATION},
      {"unshared holder", R | W, 0, R, SR | SW, ERROR_SHARING_VIOLATION},
      {"no-access open after unshared holder", R | W, 0, 0, 0, 0},
      {"no-access holder restricts nothing", 0, 0, R | W, 0, 0},
  };
  for (const ShareCase& c : cases) {
    SCOPED_TRACE(c.what);
    Handle first = Open(Path(kEcho), c.first_access, c.first_share);
    ASSERT_TRUE(first.valid()) << GetLastError();
    EXPECT_EQ(OpenError(Path(kEcho), c.second_access, c.second_share), c.expected);
    first.reset();
    // Closing the first handle gives its share back.
    EXPECT_EQ(OpenError(Path(kEcho), c.second_access, c.second_share), 0u);
  }
}

TEST_F(OpenTest, SharingIsCountedPerCollection) {
  Handle col2 = Open(Path(kCombo, 1), GENERIC_READ, 0);
  ASSERT_TRUE(col2.valid());
  EXPECT_EQ(OpenError(Path(kCombo, 0), GENERIC_WRITE, 0), 0u);
  EXPECT_EQ(OpenError(Path(kCombo, 1), GENERIC_WRITE, kShareAll),
            static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

TEST_F(OpenTest, ExclusiveUseRefusesEveryOpenUntilReleased) {
  auto b = machine_->GetBehaviour(kEcho);
  b.exclusive = true;
  machine_->SetBehaviour(kEcho, b);
  for (DWORD access : {0u, GENERIC_READ, GENERIC_WRITE, kReadWrite})
    EXPECT_EQ(OpenError(Path(kEcho), access), static_cast<DWORD>(ERROR_SHARING_VIOLATION))
        << access;
  b.exclusive = false;
  machine_->SetBehaviour(kEcho, b);
  EXPECT_EQ(OpenError(Path(kEcho), kReadWrite), 0u);
}

TEST_F(OpenTest, RefusedAccessModesGetAccessDenied) {
  // The first collection refuses reading, as Windows refuses it for system mice.
  Load(std::string(R"({"devices": [{"vendor_id": 1, "product_id": 2, "report_descriptor": ")") +
       std::string(kComboDescriptor) + R"(", "collections": [{"refuse": ["read"]}]}]})");
  EXPECT_EQ(OpenError(Path(0, 0), GENERIC_READ), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(OpenError(Path(0, 0), kReadWrite), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(OpenError(Path(0, 0), GENERIC_WRITE), 0u);
  EXPECT_EQ(OpenError(Path(0, 0), 0), 0u);
  EXPECT_EQ(OpenError(Path(0, 1), kReadWrite), 0u);

  // The device's own flags add to the collection's.
  auto b = machine_->GetBehaviour(0);
  b.refuse = {false, true};
  machine_->SetBehaviour(0, b);
  EXPECT_EQ(OpenError(Path(0, 0), GENERIC_WRITE), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(OpenError(Path(0, 1), GENERIC_WRITE), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(OpenError(Path(0, 1), GENERIC_READ), 0u);
  EXPECT_EQ(OpenError(Path(0, 0), 0), 0u);
}

TEST_F(OpenTest, AbsentDevicesAreNotFound) {
  EXPECT_EQ(
      OpenError(u"\\\\?\\hid#vid_dead&pid_beef#1&0&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}",
                0),
      static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  machine_->Unplug(kEcho);
  EXPECT_EQ(OpenError(Path(kEcho), 0), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(machine_->Interfaces(true).size() < machine_->Interfaces(false).size());
  machine_->Replug(kEcho);
  EXPECT_EQ(OpenError(Path(kEcho), kReadWrite), 0u);
}

TEST_F(OpenTest, PathsCompareWithoutCase) {
  std::u16string upper = Path(kEcho);
  for (char16_t& c : upper)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  EXPECT_EQ(OpenError(upper, kReadWrite), 0u);
}

TEST_F(OpenTest, DeviceNamespaceNeverFallsThroughToFiles) {
  // CREATE_ALWAYS on an unknown device name must not create a file of that name.
  const std::u16string name = u"\\\\.\\qzsim-no-such-device";
  HANDLE h =
      CreateFileW(qzplatform::AsWide(name), kReadWrite, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  // Ordinary paths are still files.
  const auto file = std::filesystem::temp_directory_path() / "qzsim_open_test.txt";
  const std::u16string path = file.u16string();
  Handle f(
      CreateFileW(qzplatform::AsWide(path), kReadWrite, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  EXPECT_TRUE(f.valid());
  f.reset();
  std::filesystem::remove(file);
}

}  // namespace
}  // namespace simtest
