// Test doubles: an I/O component over fake handles and a log sink that records its calls.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "qzclasses/base_io.h"
#include "qzclasses/custom_log_file.h"
#include "qzclasses/errors.h"

namespace qz::test {

class RecordingLog : public TqzCustomLogFile {
 public:
  using TqzCustomLogFile::TqzCustomLogFile;
  Text ClassName() const override { return u"RecordingLog"; }

  void AddSysInfo() override { lines.push_back(u"<sysinfo>"); }
  void AddLog(TDetailLevel level, const Text& text) override {
    lines.push_back(Text(1, char16_t(u'0' + level)) + u":" + text);
  }
  void AddLogFmt(TDetailLevel level, const Text& format, const FormatArgs& args) override {
    AddLog(level, Format(format, args));
  }

  std::vector<Text> lines;
};

// Opens a fake handle (or fails, as told); the thread body is whatever the test sets.
class FakeIO : public TqzBaseIO {
 public:
  using TqzBaseIO::TqzBaseIO;
  // A concrete component closes before its own members go: the thread body lives in them.
  ~FakeIO() override { DoClose(); }
  Text ClassName() const override { return u"FakeIO"; }

  HANDLE OpenDevice() override {
    ++opens;
    if (open_error) DoFatalError(16, 2, u"cannot open", false);
    if (!can_open) return INVALID_HANDLE_VALUE;
    isThreaded = threaded;
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(0x1234));
  }
  void CloseDevice(HANDLE) override { ++closes; }
  void ThreadIOExecute(TqzThreadIO* thread) override {
    if (body) body(thread);
  }
  void DeviceListLoad() override {
    ++loads;
    for (const Text& name : load_names) {
      auto* d = new TqzDevice;
      d->NameFriendly = name;
      AddDevice(d);
    }
  }
  void Update() override {
    ++updates;
    TqzBaseIO::Update();
  }

  // Exposed for tests.
  using TqzBaseIO::fActive;
  using TqzBaseIO::flClearDeviceListWithFree;
  using TqzBaseIO::fOvlAsync;
  using TqzBaseIO::fOvlRead;
  using TqzBaseIO::fOvlWrite;
  using TqzBaseIO::IsThreadIOTerminated;
  using TqzBaseIO::LogAdd;
  using TqzBaseIO::LogAddFmt;
  using TqzBaseIO::sLogPrefix;

  bool can_open = true;
  bool open_error = false;
  bool threaded = false;
  int opens = 0;
  std::atomic<int> closes{0};
  int loads = 0;
  int updates = 0;
  std::vector<Text> load_names;
  std::function<void(TqzThreadIO*)> body;
};

// Counts how often each component's events fire.
struct EventCounter {
  int opened = 0;
  std::atomic<int> closed{0};
  void OnOpen(Component*) { ++opened; }
  void OnClose(Component*) { ++closed; }
  void Throw(Component*) { throw Error(u"handler failed"); }
};

}  // namespace qz::test
