// Shared helpers of the HID component tests: a simulated machine, a headless main
// thread, a log and a receiver that record from any thread, and a component whose
// device list holds one record per device interface.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "qzclasses/headless_dispatcher.h"
#include "qzhid/hid.h"
#include "qzplatform/hidshared/preparsed_tokens.h"
#include "qzplatform/sim/sim_ground.h"

namespace hidtest {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// A vendor collection without report IDs: 8 data bytes in (9 with the ID byte), 4 out
// (5), 2 feature (3).
inline constexpr const char* kVendorDescriptor =
    "06 00 FF 09 01 A1 01 15 00 26 FF 00 75 08 95 08 09 02 81 02 "
    "95 04 09 03 91 02 95 02 09 04 B1 02 C0";

// {"devices": [...]} with one vendor device per entry of `behaviours` (a JSON object
// body for "behaviour", may be empty), named dev0, dev1, ...
std::string VendorMachine(const std::vector<std::string>& behaviours);

// A log sink that keeps every formatted line, whatever its level, from any thread.
class SafeLog : public qz::TqzCustomLogFile {
 public:
  SafeLog() : TqzCustomLogFile(nullptr) {}
  qz::Text ClassName() const override { return u"SafeLog"; }
  void Save() override {}
  void Clear() override;
  void Add(const qz::Text& text) override;
  void AddSysInfo() override { Add(u"<sysinfo>"); }
  void AddLog(qz::TDetailLevel, const qz::Text& text) override { Add(text); }
  void AddFmt(const qz::Text& format, const qz::FormatArgs& args) override;
  void AddLogFmt(qz::TDetailLevel, const qz::Text& format, const qz::FormatArgs& args) override {
    AddFmt(format, args);
  }

  std::vector<qz::Text> Lines() const;
  std::size_t Count(const qz::Text& line) const;
  bool Contains(const qz::Text& line) const { return Count(line) != 0; }
  // Position of the first such line, or -1.
  std::ptrdiff_t IndexOf(const qz::Text& line) const;
  // Called (under no lock) for every line added, on the adding thread.
  std::function<void(const qz::Text&)> on_line;

 private:
  mutable std::mutex mutex_;
  std::vector<qz::Text> lines_;
};

// One received block: its bytes and the thread it arrived on.
struct Block {
  Bytes data;
  std::thread::id thread;
};

// OnAfterReceive target: keeps every block; `during` runs inside the handler.
class Receiver {
 public:
  void OnReceived(qz::TqzBaseIO* com, const void* buffer, std::uint32_t size);
  qz::TOnReceived Handler() { return qz::TOnReceived::Bind<&Receiver::OnReceived>(this); }
  std::vector<Block> Blocks() const;
  std::size_t Count() const;
  std::function<void(qz::TqzBaseIO*, const Bytes&)> during;

 private:
  mutable std::mutex mutex_;
  std::vector<Block> blocks_;
};

// Records where OnOpen and OnClose ran.
class Events {
 public:
  void OnOpen(qz::Component*);
  void OnClose(qz::Component*);
  qz::TNotifyEvent Open() { return qz::TNotifyEvent::Bind<&Events::OnOpen>(this); }
  qz::TNotifyEvent Close() { return qz::TNotifyEvent::Bind<&Events::OnClose>(this); }
  int opens() const;
  int closes() const;
  std::thread::id close_thread() const;
  SafeLog* log = nullptr;  // gets "<OnOpen>" and "<OnClose>" when set
  std::function<void()> on_close;

 private:
  mutable std::mutex mutex_;
  int opens_ = 0, closes_ = 0;
  std::thread::id close_thread_;
};

// The component's protected parts, for tests.
class TestHid : public qz::TqzHid {
 public:
  using TqzHid::TqzHid;
  using TqzHid::fInputReport;
  using TqzHid::hEventThread;
  using TqzHid::IsThreadIOTerminated;
  void CloseDevice(HANDLE Handle) override {
    ++close_device_calls;
    TqzHid::CloseDevice(Handle);
  }
  bool LoopRunning() const { return fThreadIO && !fThreadIO->Finished(); }
  std::atomic<int> close_device_calls{0};
};

class HidTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Installs the machine, creates the component with the log linked, fills its list
  // with one loaded record per interface and selects the first; the log starts empty.
  void Load(const std::string& json);
  void UseDefaultMachine();
  // Runs main-thread hand-offs until done() or the timeout; returns done().
  bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s);
  qz::TqzHidDevice* Record(std::int32_t index) const;
  // Opens the current device; fails the test when it does not open.
  void Open();

  qz::HeadlessDispatcher dispatcher;
  std::shared_ptr<qzplatform::sim::Machine> machine;
  SafeLog log;
  Receiver receiver;
  Events events;
  std::unique_ptr<TestHid> hid;
  std::size_t handles_before = 0;
  std::size_t preparsed_before = 0;
};

}  // namespace hidtest
