// The system utilities over a scripted ground: the version-name table, the system
// error text, and the waited and unwaited overlapped transfers.
#include <gtest/gtest.h>

#include <atomic>

#include <deque>
#include <thread>

#include "qzplatform/ground.h"
#include "qzsysutils/qzsysutils.h"

namespace {

// A device whose transfers complete at once, stay pending until the test completes
// them, or fail at once, as the test chooses.
class ScriptedDevice : public qzplatform::FileObject {
 public:
  enum class Mode { Immediate, Pending, Fail };
  ScriptedDevice() : FileObject(true) {}
  void StartRead(qzplatform::IoRequest r) override { Start(std::move(r)); }
  void StartWrite(qzplatform::IoRequest r) override { Start(std::move(r)); }
  void CancelAll() override {
    std::lock_guard lock(mutex);
    pending.clear();  // dropped requests complete as aborted
  }
  void CompleteNext(DWORD error, DWORD bytes) {
    std::lock_guard lock(mutex);
    pending.front().Complete(error, bytes);
    pending.pop_front();
  }
  Mode mode = Mode::Immediate;
  std::mutex mutex;
  std::deque<qzplatform::IoRequest> pending;

 private:
  void Start(qzplatform::IoRequest r) {
    if (mode == Mode::Immediate) return r.Complete(ERROR_SUCCESS, r.length());
    if (mode == Mode::Fail) return r.Complete(ERROR_DEVICE_NOT_CONNECTED, 0);
    std::lock_guard lock(mutex);
    pending.push_back(std::move(r));
  }
};

class ScriptedGround : public qzplatform::Ground {
 public:
  std::u16string_view Name() const override { return u"scripted"; }
  std::shared_ptr<qzplatform::FileObject> OpenDevice(std::u16string_view path, DWORD, DWORD,
                                                     DWORD, bool* is_device, DWORD*) override {
    *is_device = path == u"dev";
    return *is_device ? device : nullptr;
  }
  std::shared_ptr<const qzplatform::Module> FindModule(std::u16string_view) override {
    return nullptr;
  }
  bool GetVersion(OSVERSIONINFOEXW* info) override {
    if (!version_available) return false;
    *info = version;
    return true;
  }
  std::shared_ptr<ScriptedDevice> device = std::make_shared<ScriptedDevice>();
  OSVERSIONINFOEXW version{};
  bool version_available = true;
};

class SysUtils : public ::testing::Test {
 protected:
  void SetUp() override { qzplatform::SetGround(ground); }
  void TearDown() override { qzplatform::SetGround(nullptr); }
  void SetVersion(DWORD major, DWORD minor, DWORD build, DWORD platform, BYTE product,
                  std::u16string sp = u"") {
    auto& v = ground->version;
    v = {};
    v.dwMajorVersion = major;
    v.dwMinorVersion = minor;
    v.dwBuildNumber = build;
    v.dwPlatformId = platform;
    v.wProductType = product;
    std::copy(sp.begin(), sp.end(), v.szCSDVersion);
  }
  std::shared_ptr<ScriptedGround> ground = std::make_shared<ScriptedGround>();
};

TEST_F(SysUtils, VersionTextNamesWindowsFromTheVersionRecord) {
  struct Case {
    DWORD major, minor, build, platform;
    BYTE product;
    std::u16string sp, expected;
  };
  const Case cases[] = {
      {5, 1, 2600, 2, 1, u"Service Pack 3", u"Windows XP [5.1.2600] Service Pack 3"},
      {6, 1, 7601, 2, 3, u"", u"Windows Server 2008 R2 [6.1.7601] "},
      {6, 2, 9200, 2, 1, u"", u"Windows Future Workstation [6.2.9200] "},
      {6, 3, 9600, 2, 3, u"", u"Windows Future Server [6.3.9600] "},
      {6, 0, 6000, 2, 1, u"", u"Windows Vista [6.0.6000] "},
      {6, 0, 6001, 2, 2, u"", u"Windows Server 2008 [6.0.6001] "},
      {5, 3, 1, 2, 1, u"", u"Windows  [5.3.1] "},
      {10, 0, 19045, 2, 1, u"", u"Windows  [10.0.19045] "},
      {4, 0, 1381, 2, 1, u"", u"Windows NT 4 [4.0.1381] "},
      {4, 0, 950, 1, 0, u"", u"Windows 95 [4.0.950] "},
      {4, 10, 1998, 2, 0, u"", u"Windows 98 [4.10.1998] "},
      {4, 90, 3000, 1, 0, u"", u"Windows Me [4.90.3000] "},
      {3, 51, 1057, 2, 0, u"", u"Windows NT 3.51 [3.51.1057] "},
      {5, 0, 2195, 2, 1, u"Service Pack 4", u"Windows 2000 [5.0.2195] Service Pack 4"},
      {5, 2, 3790, 2, 3, u"", u"Windows 2003 [5.2.3790] "},
  };
  for (const Case& c : cases) {
    SetVersion(c.major, c.minor, c.build, c.platform, c.product, c.sp);
    EXPECT_EQ(qz::GetVersionText(u"", u""), c.expected);
  }
}

TEST_F(SysUtils, VersionTextIsEmptyWhenTheQueryFailsOrTheFileHasNoVersion) {
  ground->version_available = false;
  EXPECT_EQ(qz::GetVersionText(u"", u""), u"");
  EXPECT_EQ(qz::GetVersionText(u"/bin/sh", u""), u"");
}

TEST_F(SysUtils, ServicePackTextWithoutTerminatorStopsAtTheArrayEnd) {
  SetVersion(5, 1, 2600, 2, 1);
  std::fill(std::begin(ground->version.szCSDVersion), std::end(ground->version.szCSDVersion), u'x');
  EXPECT_EQ(qz::GetVersionText(u"", u""), u"Windows XP [5.1.2600] " + std::u16string(128, u'x'));
}

TEST_F(SysUtils, SystemErrorTextLosesTrailingBlanksAndFullStops) {
  EXPECT_EQ(qz::SysErrorMessage(ERROR_ACCESS_DENIED), u"Access is denied");
  EXPECT_EQ(qz::SysErrorMessage(ERROR_SHARING_VIOLATION),
            u"The process cannot access the file because it is being used by another process");
  EXPECT_EQ(qz::SysErrorMessage(0xDEADBEEF), u"");
}

TEST_F(SysUtils, WriteFileAsyncIsTrueForImmediateAndPendingWrites) {
  HANDLE h = CreateFileW(qzplatform::AsWide(std::u16string(u"dev")), GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  OVERLAPPED ov{};
  ov.hEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  const char data[4] = {1, 2, 3, 4};
  EXPECT_TRUE(qz::WriteFileAsync(h, data, 4, &ov));
  ground->device->mode = ScriptedDevice::Mode::Pending;
  EXPECT_TRUE(qz::WriteFileAsync(h, data, 4, &ov));
  EXPECT_EQ(ground->device->pending.size(), 1u);
  ground->device->mode = ScriptedDevice::Mode::Fail;
  EXPECT_FALSE(qz::WriteFileAsync(h, data, 4, &ov));
  CloseHandle(h);  // the pending write ends as aborted before the record goes away
  CloseHandle(ov.hEvent);
}

TEST_F(SysUtils, WaitedTransfersBlockUntilTheTransferEnds) {
  HANDLE h = CreateFileW(qzplatform::AsWide(std::u16string(u"dev")), GENERIC_READ, 0, nullptr,
                         OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  OVERLAPPED ov{};
  ov.hEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  ov.Internal = 77;  // cleared by the routine
  char buffer[8];
  EXPECT_TRUE(qz::ReadFileWait(h, buffer, 8, &ov));

  ground->device->mode = ScriptedDevice::Mode::Pending;
  std::thread completer([&] {
    while (true) {
      {
        std::lock_guard lock(ground->device->mutex);
        if (!ground->device->pending.empty()) break;
      }
      std::this_thread::yield();
    }
    ground->device->CompleteNext(ERROR_SUCCESS, 8);
  });
  EXPECT_TRUE(qz::ReadFileWait(h, buffer, 8, &ov));
  completer.join();

  // A transfer that fails after pending is false, and so is one that fails at once.
  std::thread failer([&] {
    while (true) {
      {
        std::lock_guard lock(ground->device->mutex);
        if (!ground->device->pending.empty()) break;
      }
      std::this_thread::yield();
    }
    ground->device->CompleteNext(ERROR_DEVICE_NOT_CONNECTED, 0);
  });
  EXPECT_FALSE(qz::WriteFileWait(h, buffer, 8, &ov));
  failer.join();
  ground->device->mode = ScriptedDevice::Mode::Fail;
  EXPECT_FALSE(qz::ReadFileWait(h, buffer, 8, &ov));
  CloseHandle(h);
  CloseHandle(ov.hEvent);
}

TEST_F(SysUtils, WaitOverlappedResultReportsTheFailureCode) {
  HANDLE h = CreateFileW(qzplatform::AsWide(std::u16string(u"dev")), GENERIC_READ, 0, nullptr,
                         OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  OVERLAPPED ov{};
  ov.hEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  DWORD transferred = 0, error = 0;
  SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_FALSE(qz::WaitOverlappedResult(h, &ov, &transferred, &error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));

  // A pulse of the record's event releases the wait before the read ends.
  ground->device->mode = ScriptedDevice::Mode::Pending;
  char buffer[8];
  ASSERT_FALSE(ReadFile(h, buffer, 8, nullptr, &ov));
  // A flag ends the pulser: a SetEvent can be undone by a pulse that follows it.
  std::atomic<bool> stop{false};
  std::thread pulser([&] {
    while (!stop) {
      PulseEvent(ov.hEvent);
      std::this_thread::yield();
    }
  });
  SetLastError(ERROR_IO_PENDING);
  EXPECT_FALSE(qz::WaitOverlappedResult(h, &ov, &transferred, &error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_IO_INCOMPLETE));
  stop = true;
  pulser.join();
  CloseHandle(h);
  CloseHandle(ov.hEvent);
}

}  // namespace
