// Stress test of the HID component on the simulated machine: open/close cycles mixed
// with unplugs (also racing a close), reloads while open, hand-offs to the main thread,
// sends by every path, and a linked log and processor destroyed while reports arrive. Every report sent to an echo device must come back, in
// order, and no handle or preparsed data may be left. QZ_STRESS_CYCLES sets the number
// of cycles (default 200).
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "qzclasses/data_processor.h"
#include "qzclasses/headless_dispatcher.h"
#include "qzhid/hid.h"
#include "qzplatform/hidshared/preparsed_tokens.h"
#include "qzplatform/sim/sim_ground.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kDevices = 3;

// Vendor devices that echo their 4-byte output reports as 8-byte input reports.
std::string MachineJson() {
  std::string json = R"({"devices": [)";
  for (int i = 0; i < kDevices; ++i) {
    if (i) json += ",";
    json += R"({"name": "echo)" + std::to_string(i) + R"(", "vendor_id": 1, "product_id": )" +
            std::to_string(i + 1) +
            R"(, "report_descriptor": "06 00 FF 09 01 A1 01 15 00 26 FF 00 75 08 95 08 09 02 81 02 )"
            R"(95 04 09 03 91 02 C0", "behaviour": {"echo": true}})";
  }
  return json + "]}";
}

// Formats every line at every level, from any thread, and keeps only a count.
class CountingLog : public qz::TqzCustomLogFile {
 public:
  CountingLog() : TqzCustomLogFile(nullptr) {}
  void Save() override {}
  void Clear() override {}
  void Add(const qz::Text& text) override { chars += text.size(); }
  void AddSysInfo() override {}
  void AddLog(qz::TDetailLevel, const qz::Text& text) override { Add(text); }
  void AddFmt(const qz::Text& format, const qz::FormatArgs& args) override {
    Add(qz::Format(format, args));
  }
  void AddLogFmt(qz::TDetailLevel, const qz::Text& format, const qz::FormatArgs& args) override {
    AddFmt(format, args);
  }
  std::atomic<std::size_t> chars{0};
};

// A log and a data processor that a cycle links and then destroys while reports arrive.
// A call they get once their destructor has begun counts as late (after it, the
// sanitizers see it). Deleted directly, they tell their links first, as the component
// model asks of classes whose threads may still call them.
struct Doomed {
  std::atomic<int> late_calls{0};
};

class DoomedLog : public qz::TqzCustomLogFile {
 public:
  DoomedLog(qz::Component* owner, Doomed& doomed) : TqzCustomLogFile(owner), doomed_(doomed) {}
  ~DoomedLog() override {
    NotifyRemoval();
    gone_ = true;
  }
  void Save() override {}
  void Clear() override {}
  void Add(const qz::Text& text) override { Use(text.size()); }
  void AddSysInfo() override { Use(0); }
  void AddLog(qz::TDetailLevel, const qz::Text& text) override { Use(text.size()); }
  void AddFmt(const qz::Text& format, const qz::FormatArgs& args) override {
    Use(qz::Format(format, args).size());
  }
  void AddLogFmt(qz::TDetailLevel, const qz::Text& format, const qz::FormatArgs& args) override {
    AddFmt(format, args);
  }

 private:
  void Use(std::size_t chars) {
    if (gone_) ++doomed_.late_calls;
    chars_ += chars;
  }
  Doomed& doomed_;
  std::atomic<bool> gone_{false};
  std::atomic<std::size_t> chars_{0};
};

class DoomedProcessor : public qz::TqzCustomDataProcessor {
 public:
  DoomedProcessor(qz::Component* owner, Doomed& doomed)
      : TqzCustomDataProcessor(owner), doomed_(doomed) {}
  ~DoomedProcessor() override {
    NotifyRemoval();
    gone_ = true;
  }
  void DoProcessing(const void* Data, std::uint32_t Len, qz::TIgnoreTypes& R) override {
    if (gone_) ++doomed_.late_calls;
    blocks_.push_back(std::vector<std::uint8_t>(static_cast<const std::uint8_t*>(Data),
                                                static_cast<const std::uint8_t*>(Data) + Len));
    if (blocks_.size() > 16) blocks_.clear();
    TqzCustomDataProcessor::DoProcessing(Data, Len, R);
  }

 private:
  Doomed& doomed_;
  std::atomic<bool> gone_{false};
  std::vector<std::vector<std::uint8_t>> blocks_;
};

// Collects the sequence numbers of the echoed reports.
class Collector {
 public:
  void OnReceived(qz::TqzBaseIO*, const void* buffer, std::uint32_t size) {
    std::uint32_t sequence = 0;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    if (size != 9 || bytes[0] != 0) {
      ++malformed;
      return;
    }
    std::memcpy(&sequence, bytes + 1, sizeof sequence);
    std::lock_guard lock(mutex);
    received.push_back(sequence);
  }
  std::size_t Count() {
    std::lock_guard lock(mutex);
    return received.size();
  }
  std::mutex mutex;
  std::vector<std::uint32_t> received;
  std::atomic<int> malformed{0};
};

struct Stress {
  qz::HeadlessDispatcher dispatcher;
  std::shared_ptr<qzplatform::sim::Machine> machine;
  CountingLog log;
  Collector collector;
  std::unique_ptr<qz::TqzHid> hid;
  Doomed doomed;
  std::uint32_t next_sequence = 1;
  std::vector<std::uint32_t> expected;
  int failures = 0;

  void Fail(int cycle, const char* what) {
    if (++failures <= 20) std::fprintf(stderr, "cycle %d: %s\n", cycle, what);
  }

  // Pumps hand-offs until done(); false after 10 s, which counts as a deadlock.
  bool WaitFor(const std::function<bool()>& done) {
    const auto end = Clock::now() + 10s;
    while (!done()) {
      if (Clock::now() > end) return false;
      dispatcher.PumpFor(1ms);
    }
    return true;
  }

  void Send(int path) {
    std::uint8_t report[5] = {0};
    const std::uint32_t sequence = next_sequence++;
    std::memcpy(report + 1, &sequence, sizeof sequence);
    expected.push_back(sequence);
    switch (path % 3) {
      case 0: hid->WriteReport(report, sizeof report); break;
      case 1: hid->SendData(report, sizeof report); break;
      default: hid->SetOutputReport(report, sizeof report); break;
    }
  }

  // Links an owned log and processor, sends, and destroys them while the echoes arrive:
  // by their owner (the processor first, then the log), or one by one directly.
  void DestroyLinksWhileReceiving(int i, int sends) {
    auto* holder = new qz::Component(nullptr);
    auto* doomed_log = new DoomedLog(holder, doomed);
    auto* processor = new DoomedProcessor(holder, doomed);
    hid->SetLog(doomed_log);
    hid->SetDataProcessor(processor);
    for (int k = 0; k < sends; ++k) Send(i + k);
    // A varying moment: before, during or after the echoes' delivery.
    std::this_thread::sleep_for(std::chrono::microseconds(37 * (i % 29)));
    if (i % 4 == 0) {
      delete holder;
    } else {
      delete processor;
      delete doomed_log;
      delete holder;
    }
    hid->SetLog(&log);
  }

  void Cycle(int i) {
    const int device = i % kDevices;
    hid->SetDeviceIndex(device);
    hid->SetUseMainThread(i % 7 == 0);
    if (i % 25 == 0) hid->Update();
    try {
      hid->SetActive(true);
    } catch (const std::exception& e) {
      Fail(i, e.what());
      return;
    }
    if (!hid->GetActive()) return Fail(i, "did not open");
    if (i % 11 == 0) hid->Update();  // a reload while open
    const int sends = 1 + i % 3;
    if (i % 2 == 0) {
      DestroyLinksWhileReceiving(i, sends);
    } else {
      for (int k = 0; k < sends; ++k) Send(i + k);
    }
    if (!WaitFor([&] { return collector.Count() == expected.size(); }))
      return Fail(i, "a report was lost or the receive path is stuck");

    if (i % 10 == 3) {
      // The user's close racing the loop's own close after an unplug.
      std::thread unplug([&] { machine->Unplug(static_cast<std::size_t>(device)); });
      hid->SetActive(false);
      unplug.join();
    } else if (i % 10 == 7) {
      machine->Unplug(static_cast<std::size_t>(device));
    } else {
      hid->SetActive(false);
    }
    if (!WaitFor([&] { return !hid->GetActive(); })) Fail(i, "the device stayed open");
    machine->Replug(static_cast<std::size_t>(device));
  }
};

int CyclesFromEnvironment() {
  const char* text = std::getenv("QZ_STRESS_CYCLES");
  if (!text || !*text) return 200;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (*end != '\0' || value < 1 || value > 10000000) {
    std::fprintf(stderr, "QZ_STRESS_CYCLES must be a number from 1 to 10000000, not \"%s\"\n", text);
    std::exit(2);
  }
  return static_cast<int>(value);
}

}  // namespace

int main() {
  const int cycles = CyclesFromEnvironment();
  Stress s;
  qz::Dispatcher::Install(&s.dispatcher);
  s.machine = qzplatform::sim::Install(qzplatform::sim::Machine::LoadJson(MachineJson()));
  const std::size_t handles_before = qzplatform::OpenHandleCount();
  const std::size_t preparsed_before = qzplatform::hidshared::LivePreparsedCount();
  s.hid = std::make_unique<qz::TqzHid>(nullptr);
  s.hid->SetLog(&s.log);
  s.hid->SetOnAfterReceive(qz::TOnReceived::Bind<&Collector::OnReceived>(&s.collector));
  s.hid->Update();
  if (s.hid->GetDeviceCount() != kDevices) {
    std::fprintf(stderr, "discovery found %d devices\n", s.hid->GetDeviceCount());
    return 1;
  }

  const auto start = Clock::now();
  for (int i = 0; i < cycles && s.failures == 0; ++i) s.Cycle(i);
  // Destroying an open component closes it first.
  try {
    s.hid->SetActive(true);
  } catch (const std::exception& e) {
    s.Fail(cycles, e.what());
  }
  s.hid.reset();

  if (s.collector.received != s.expected) s.Fail(cycles, "reports arrived out of order");
  if (s.collector.malformed) s.Fail(cycles, "a block was not a whole input report");
  if (s.doomed.late_calls) s.Fail(cycles, "a log or processor was called while destroyed");
  if (qzplatform::hidshared::LivePreparsedCount() != preparsed_before)
    s.Fail(cycles, "preparsed data left unreleased");
  if (qzplatform::OpenHandleCount() != handles_before) s.Fail(cycles, "handles left open");
  qz::Dispatcher::Install(nullptr);
  s.machine.reset();
  qzplatform::SetGround(nullptr);

  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("hid_stress: %d cycles, %zu reports echoed, %.1f s\n", cycles, s.expected.size(),
              seconds);
  std::printf("%d passed, %d failed\n", s.failures == 0 ? 1 : 0, s.failures == 0 ? 0 : 1);
  return s.failures == 0 ? 0 : 1;
}
