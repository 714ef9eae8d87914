// `replay`: on the sim ground the recording's devices are the simulated machine, their
// input reports follow the recorded timing, and qzhid reads every interface and prints
// what arrives until the recording has played out; on Linux they are made through uhid.
#include <chrono>
#include <cstdio>
#include <memory>

#include "interrupts.h"
#include "report_bytes.h"
#include "session.h"
#ifdef QZ_HAVE_LINUX_GROUND
#include "uhid_replay.h"
#endif

namespace qzhid {
namespace {

using Clock = std::chrono::steady_clock;

// One interface read through its own HID component; reports reach the main thread.
class InterfaceReader {
 public:
  InterfaceReader(Session& s, std::int32_t index, Clock::time_point start, std::size_t& count)
      : s_(s), index_(index), start_(start), count_(count) {
    hid_.SetEnumFullMode(true);
    hid_.DeviceListLoad();
    hid_.SetUseMainThread(true);
    hid_.SetOnAfterReceive(qz::TOnReceived::Bind<&InterfaceReader::Received>(this));
    hid_.SetDeviceIndex(index);
    hid_.SetActive(true);
    if (!hid_.IsReadMode()) throw Failure("interface " + std::to_string(index) + " refuses reading");
  }

  void Received(qz::TqzBaseIO*, const void* buffer, std::uint32_t length) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%12.6f  [%d]  ", seconds, index_);
    s_.out << stamp << HexBytes(std::vector<std::uint8_t>(bytes, bytes + length)) << "\n";
    ++count_;
  }

 private:
  Session& s_;
  const std::int32_t index_;
  const Clock::time_point start_;
  std::size_t& count_;
  qz::TqzHid hid_{nullptr};
};

}  // namespace

void ReplayCommand(Session& s) {
#ifdef QZ_HAVE_LINUX_GROUND
  if (s.ground.name == "uhid") {
    try {
      ReplayThroughUhid(s, qzplatform::sim::LoadRecording(s.inv.args[0]));
    } catch (const qzplatform::sim::LoadError& e) {
      throw Failure(e.what());
    }
    return;
  }
#endif
  const std::size_t expected = s.ground.replayEvents;
  // A report the machine could not deliver must not keep us waiting for ever.
  const Clock::time_point end = Clock::now() + s.ground.replayLength + std::chrono::seconds(1);
  std::size_t count = 0;
  const Clock::time_point start = Clock::now();
  InterruptCatcher interrupts;
  std::vector<std::unique_ptr<InterfaceReader>> readers;
  for (std::int32_t i = 0; i < s.devices.Count(); ++i)
    readers.push_back(std::make_unique<InterfaceReader>(s, i, start, count));
  const auto done = [&] { return count >= expected || Interrupted() || Clock::now() >= end; };
  while (!done()) s.dispatcher.RunUntil(done, std::chrono::milliseconds(200));
  readers.clear();
  if (Interrupted()) s.err << "qzhid: stopped: interrupted (Ctrl-C)\n";
  else s.err << "qzhid: replayed " << count << " input reports\n";
}

}  // namespace qzhid
