// The uhid device behind UhidDevice: an event thread that answers the kernel.
#include "qzplatform/linux/uhid_device.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <unistd.h>

namespace qzplatform::linux_ground {

UhidDevice::UhidDevice(const std::string& name, std::uint16_t vendor, std::uint16_t product,
                       const Bytes& descriptor, std::uint16_t bus) {
  fd_ = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
  if (fd_ < 0) {
    error_ = std::string("open /dev/uhid: ") + std::strerror(errno);
    return;
  }
  uhid_event ev{};
  ev.type = UHID_CREATE2;
  std::strncpy(reinterpret_cast<char*>(ev.u.create2.name), name.c_str(),
               sizeof ev.u.create2.name - 1);
  std::strncpy(reinterpret_cast<char*>(ev.u.create2.uniq), ("uniq-" + name.substr(0, 20)).c_str(),
               sizeof ev.u.create2.uniq - 1);
  if (descriptor.size() > sizeof ev.u.create2.rd_data) {
    error_ = "the report descriptor is longer than uhid takes (" +
             std::to_string(sizeof ev.u.create2.rd_data) + " bytes)";
    ::close(fd_);
    fd_ = -1;
    return;
  }
  ev.u.create2.rd_size = static_cast<__u16>(descriptor.size());
  std::memcpy(ev.u.create2.rd_data, descriptor.data(), descriptor.size());
  ev.u.create2.bus = bus;
  ev.u.create2.vendor = vendor;
  ev.u.create2.product = product;
  ev.u.create2.version = 0x0100;
  if (!Send(&ev, sizeof ev)) {
    error_ = std::string("UHID_CREATE2: ") + std::strerror(errno);
    ::close(fd_);
    fd_ = -1;
    return;
  }
  thread_ = std::thread([this] { Run(); });
}

UhidDevice::~UhidDevice() {
  Destroy();
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (fd_ >= 0) ::close(fd_);
}

bool UhidDevice::Send(const void* event, std::size_t size) {
  if (fd_ < 0) return false;
  return ::write(fd_, event, size) == static_cast<ssize_t>(size);
}

bool UhidDevice::Input(const std::uint8_t* report, std::size_t size) {
  uhid_event ev;
  if (size > sizeof ev.u.input2.data) return false;
  ev.type = UHID_INPUT2;
  ev.u.input2.size = static_cast<__u16>(size);
  std::memcpy(ev.u.input2.data, report, size);
  // The event's header and the report are all the kernel reads.
  return Send(&ev, offsetof(uhid_event, u.input2.data) + size);
}

void UhidDevice::Destroy() {
  std::lock_guard lock(mutex_);
  if (fd_ < 0 || destroyed_) return;
  destroyed_ = true;
  uhid_event ev{};
  ev.type = UHID_DESTROY;
  Send(&ev, sizeof ev);
}

void UhidDevice::SetAnswer(int number, const Bytes& report) {
  std::lock_guard lock(mutex_);
  answers_[number] = report;
}

std::vector<UhidDevice::Received> UhidDevice::WaitReceived(std::size_t count, int ms) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(ms),
                    [&] { return received_.size() >= count; });
  return received_;
}

void UhidDevice::Run() {
  while (!stop_) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    uhid_event ev{};
    if (::read(fd_, &ev, sizeof ev) <= 0) continue;
    std::unique_lock lock(mutex_);
    switch (ev.type) {
      case UHID_OUTPUT: {
        const auto& o = ev.u.output;
        received_.push_back({Received::kOutput, o.rtype, -1, Bytes(o.data, o.data + o.size)});
        break;
      }
      case UHID_SET_REPORT: {
        const auto& s = ev.u.set_report;
        received_.push_back(
            {Received::kSetReport, s.rtype, s.rnum, Bytes(s.data, s.data + s.size)});
        // A feature report set is what a later get of it answers.
        if (s.rtype == UHID_FEATURE_REPORT) answers_[s.rnum] = Bytes(s.data, s.data + s.size);
        uhid_event reply{};
        reply.type = UHID_SET_REPORT_REPLY;
        reply.u.set_report_reply.id = s.id;
        reply.u.set_report_reply.err = 0;
        lock.unlock();
        Send(&reply, sizeof reply);
        lock.lock();
        break;
      }
      case UHID_GET_REPORT: {
        const auto& g = ev.u.get_report;
        received_.push_back({Received::kGetReport, g.rtype, g.rnum, {}});
        uhid_event reply{};
        reply.type = UHID_GET_REPORT_REPLY;
        reply.u.get_report_reply.id = g.id;
        auto it = answers_.find(g.rnum);
        if (it == answers_.end()) {
          reply.u.get_report_reply.err = EIO;  // a report the device does not have
        } else {
          reply.u.get_report_reply.size = static_cast<__u16>(it->second.size());
          std::memcpy(reply.u.get_report_reply.data, it->second.data(), it->second.size());
        }
        lock.unlock();
        Send(&reply, sizeof reply);
        lock.lock();
        break;
      }
      case UHID_OPEN: opened_ = true; break;
      case UHID_CLOSE: opened_ = false; break;
      default: break;
    }
    changed_.notify_all();
  }
}

}  // namespace qzplatform::linux_ground
