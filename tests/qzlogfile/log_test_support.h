// Shared helpers for the log file tests: a fresh folder per test, byte-level file
// access, a still clock off Windows (the system's own clock on Windows), and recording
// event handlers.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <string_view>

#include "qzlogfile/log_entry.h"
#include "qzlogfile/log_file.h"
#include "qzplatform/win32.h"
#ifndef _WIN32
#include "qzplatform/ground.h"
#endif
#include "qzsysutils/qzsysutils.h"

namespace qztest {

namespace fs = std::filesystem;
using qz::Text;

inline std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline Text ToText(const fs::path& path) { return qz::TextFromUtf8(path.string()); }

// UTF-16 little-endian bytes of `text`, as the file holds them with AnsiOnly off.
inline std::string Utf16Bytes(std::u16string_view text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

#ifndef _WIN32
// A machine without devices whose clock stands still at 14:03:07.045 on 8 December 2012.
class FixedClockGround : public qzplatform::Ground {
 public:
  SYSTEMTIME time{2012, 12, 6, 8, 14, 3, 7, 45};

  std::u16string_view Name() const override { return u"logfile-test"; }
  std::shared_ptr<qzplatform::FileObject> OpenDevice(std::u16string_view, DWORD, DWORD, DWORD,
                                                     bool* is_device, DWORD*) override {
    *is_device = false;
    return nullptr;
  }
  std::shared_ptr<const qzplatform::Module> FindModule(std::u16string_view) override {
    return nullptr;
  }
  bool GetVersion(OSVERSIONINFOEXW* info) override {
    info->dwMajorVersion = 5;
    info->dwMinorVersion = 1;
    info->dwBuildNumber = 2600;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    info->wProductType = VER_NT_WORKSTATION;
    return true;
  }
  void GetLocalTime(SYSTEMTIME* out) override { *out = time; }
};
#endif

inline SYSTEMTIME LocalTimeNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return now;
}

// Whether `stamp` is the stamp of a moment from `before` to `after`, both read around the
// call that made it. A still clock allows exactly one stamp; a running one those of each
// millisecond between (and only the two ends across midnight).
inline bool IsStampBetween(const std::string& stamp, const SYSTEMTIME& before,
                           const SYSTEMTIME& after, qz::TLogOptions options) {
  auto is_stamp_of = [&](const SYSTEMTIME& t) {
    return stamp == qz::TextToAnsi(qz::BuildLogStamp(t, options));
  };
  auto of_day = [](const SYSTEMTIME& t) {
    return ((t.wHour * 60 + t.wMinute) * 60 + t.wSecond) * 1000 + t.wMilliseconds;
  };
  if (is_stamp_of(before) || is_stamp_of(after)) return true;
  if (before.wDay != after.wDay) return false;
  for (int ms = of_day(before); ms <= of_day(after); ++ms) {
    SYSTEMTIME t = before;
    t.wHour = static_cast<WORD>(ms / 3600000);
    t.wMinute = static_cast<WORD>(ms / 60000 % 60);
    t.wSecond = static_cast<WORD>(ms / 1000 % 60);
    t.wMilliseconds = static_cast<WORD>(ms % 1000);
    if (is_stamp_of(t)) return true;
  }
  return false;
}

// Records what the sink reports through its events.
struct LogEvents {
  int fatal_count = 0;
  std::uint32_t fatal_code = 99;
  std::uint32_t fatal_detail = 99;
  Text fatal_message;
  bool suppress_fatal = true;
  int reach_count = 0;
  std::function<void()> on_reach;
  std::function<void(Text&)> on_entry;

  void Fatal(qz::Component*, std::uint32_t code, std::uint32_t detail, const Text& message,
             bool& raise) {
    ++fatal_count;
    fatal_code = code;
    fatal_detail = detail;
    fatal_message = message;
    if (suppress_fatal) raise = false;
  }
  void ReachLimit(qz::Component*) {
    ++reach_count;
    if (on_reach) on_reach();
  }
  void LogEntry(qz::Component*, Text& entry) {
    if (on_entry) on_entry(entry);
  }

  void Attach(qz::TqzLogFile& log) {
    log.SetOnFatalError(qz::TOnFatalErrorEvent::Bind<&LogEvents::Fatal>(this));
    log.SetOnReachLimit(qz::TNotifyEvent::Bind<&LogEvents::ReachLimit>(this));
    log.SetOnLogEntry(qz::TOnLogEntry::Bind<&LogEvents::LogEntry>(this));
  }
};

// Each test gets its own folder, removed afterwards, the still clock, and a sink writing
// "test.log" in that folder in safe mode without stamp or debugger output.
class LogFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    qzplatform::SetGround(std::make_shared<FixedClockGround>());
#endif
    std::random_device random;
    dir_ = fs::temp_directory_path() /
           ("qzlogfile-" + std::to_string(random()) + "-" + std::to_string(random()));
    fs::create_directories(dir_);
    file_ = dir_ / "test.log";
    log_ = std::make_unique<qz::TqzLogFile>(nullptr);
    log_->SetFileName(ToText(file_));
    log_->SetOptions({qz::loSafeMode});
  }
  void TearDown() override {
    log_.reset();
    std::error_code ignored;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(dir_, ignored);
#ifndef _WIN32
    qzplatform::SetGround(nullptr);
#endif
  }

  std::string FileBytes() const { return ReadBytes(file_); }
  // The banner line the sink writes before its first entry, without a stamp.
  static std::string Banner() {
    return "\r\nqzLink Lib v9.28 Pro " + qz::TextToAnsi(qz::GetVersionText(Text(), Text()));
  }

  fs::path dir_;
  fs::path file_;
  std::unique_ptr<qz::TqzLogFile> log_;
};

}  // namespace qztest
