// A HID device made in the kernel through /dev/uhid, which every program on the machine
// sees (qzhid's replay, the virtual-machine proof): it sends input reports, records output
// reports and set-report requests, and answers get-report requests from the feature
// reports it holds. Closing it (or the program's end) removes the device.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qzplatform::linux_ground {

using Bytes = std::vector<std::uint8_t>;

class UhidDevice {
 public:
  // One request the device received, with the report type (0 feature, 1 output,
  // 2 input: uhid's numbering) and report number where the kernel gives them.
  struct Received {
    enum Kind { kOutput, kSetReport, kGetReport } kind;
    int type = 0;
    int number = 0;
    Bytes data;
  };

  // `bus`: BUS_USB (3) unless given; the kernel takes any of its bus numbers.
  UhidDevice(const std::string& name, std::uint16_t vendor, std::uint16_t product,
             const Bytes& descriptor, std::uint16_t bus = 3);
  ~UhidDevice();
  bool ok() const { return fd_ >= 0; }
  const std::string& error() const { return error_; }

  // Sends an input report as the device would: ID byte first on a device with IDs.
  bool Input(const Bytes& report) { return Input(report.data(), report.size()); }
  // The same without a vector: async-signal-safe, so a forked child may send.
  bool Input(const std::uint8_t* report, std::size_t size);
  // Unplugs the device (UHID_DESTROY); later calls do nothing.
  void Destroy();
  // What the device received so far; waits up to `ms` for at least `count` entries.
  std::vector<Received> WaitReceived(std::size_t count, int ms = 3000);
  // Whether a program has the device open (the kernel's UHID_OPEN, until UHID_CLOSE).
  bool opened() const { return opened_; }
  // The answer to a get-report of this number: report number first.
  void SetAnswer(int number, const Bytes& report);

 private:
  void Run();
  bool Send(const void* event, std::size_t size);

  int fd_ = -1;
  bool destroyed_ = false;
  std::string error_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> opened_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Received> received_;
  std::map<int, Bytes> answers_;
  std::thread thread_;
};

}  // namespace qzplatform::linux_ground
