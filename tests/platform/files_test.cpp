// Regular files through the Win32 calls: errors as Windows reports them, positions,
// cutting, sizes, Windows-style paths.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "qzplatform/ground.h"

namespace {

namespace fs = std::filesystem;

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("qz-files-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::u16string Path(const std::string& name) const {
    return qzplatform::FromUtf8((dir / name).string());
  }
  HANDLE Open(const std::u16string& path, DWORD access, DWORD disposition) {
    return CreateFileW(qzplatform::AsWide(path), access, 0, nullptr, disposition, 0, nullptr);
  }
  fs::path dir;
};

TEST_F(Files, OpenFailuresCarryWindowsErrorCodes) {
  EXPECT_EQ(Open(Path("missing.txt"), GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(Open(Path("no/such/folder.txt"), GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(Open(qzplatform::FromUtf8(dir.string()), GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(Files, WriteSeekCutAndSize) {
  HANDLE h = Open(Path("a.bin"), GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(h, "0123456789", 10, &n, nullptr));
  EXPECT_EQ(n, 10u);
  EXPECT_EQ(GetFileSize(h, nullptr), 10u);
  EXPECT_EQ(SetFilePointer(h, 4, nullptr, FILE_BEGIN), 4u);
  ASSERT_TRUE(SetEndOfFile(h));
  EXPECT_EQ(GetFileSize(h, nullptr), 4u);
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_BEGIN), 0u);
  char buffer[16] = {};
  ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &n, nullptr));
  EXPECT_EQ(std::string(buffer, n), "0123");
  EXPECT_EQ(SetFilePointer(h, -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
  CloseHandle(h);
}

TEST_F(Files, AccessIsEnforcedPerHandle) {
  HANDLE h = Open(Path("r.txt"), GENERIC_WRITE, CREATE_ALWAYS);
  char buffer[4];
  DWORD n = 0;
  EXPECT_FALSE(ReadFile(h, buffer, 4, &n, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(h);
  h = Open(Path("r.txt"), GENERIC_READ, OPEN_EXISTING);
  EXPECT_FALSE(WriteFile(h, "x", 1, &n, nullptr));
  EXPECT_FALSE(SetEndOfFile(h));
  CloseHandle(h);
}

TEST_F(Files, BackslashesAreDelimiters) {
  fs::create_directories(dir / "sub");
  std::u16string path = qzplatform::FromUtf8(dir.string()) + u"\\sub\\b.txt";
  HANDLE h = Open(path, GENERIC_WRITE, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_TRUE(fs::exists(dir / "sub" / "b.txt"));
  EXPECT_EQ(Open(path, GENERIC_WRITE, CREATE_NEW), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_EQ(GetFileAttributesW(qzplatform::AsWide(path)), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(DeleteFileW(qzplatform::AsWide(path)));
  EXPECT_EQ(GetFileAttributesW(qzplatform::AsWide(path)), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(DeleteFileW(qzplatform::AsWide(path)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(DeleteFileW(qzplatform::AsWide(qzplatform::FromUtf8((dir / "sub").string()))));
}

}  // namespace
