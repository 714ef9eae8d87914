// The socket through which the helper reaches its starter's sim machine: requests with
// empty fields, peers served side by side, and the time-outs of server and caller.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "qzplatform/setupapi.h"
#include "qzplatform/sim/shared_machine.h"
#include "qzplatform/sim/sim_ground.h"
#include "shared_machine.h"  // the messages on the socket

namespace {

namespace sim = qzplatform::sim;
namespace shared = qzplatform::sim::shared;
using namespace std::chrono_literals;

constexpr const char* kDevice = R"({"devices": [{"name": "pad", "vendor_id": "0x1234",
  "product_id": "0x5678", "report_descriptor":
  "06 00 FF 09 01 A1 01 15 00 26 FF 00 75 08 95 08 09 02 81 02 C0"}]})";

sockaddr_un Address(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  return address;
}

// One connection to a machine's socket, sending and reading raw messages.
class Peer {
 public:
  explicit Peer(const std::string& path) {
    const sockaddr_un address = Address(path);
    fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    connected_ = ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  }
  ~Peer() { ::close(fd_); }
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;

  bool connected() const { return connected_; }
  bool Send(const shared::Writer& message) {
    return ::send(fd_, message.bytes.data(), message.bytes.size(), MSG_NOSIGNAL) >= 0;
  }
  // The next message, empty once the server has closed the connection; none when
  // nothing came within `limit`.
  std::optional<std::vector<std::uint8_t>> Receive(std::chrono::milliseconds limit) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(limit.count())) <= 0) return std::nullopt;
    std::vector<std::uint8_t> bytes(shared::kMaxMessage);
    const ssize_t n = ::recv(fd_, bytes.data(), bytes.size(), 0);
    bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return bytes;
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
};

shared::Writer CreateList() {
  shared::Writer w;
  w.Put(shared::Op::kCreateList);
  w.Put<std::uint8_t>(0);
  w.Put(GUID{});
  return w;
}

// A reply's result, error and (for a new set) the set.
struct Reply {
  std::uint32_t ok = 0, error = 0;
  std::uint64_t set = 0;
};
Reply Read(const std::vector<std::uint8_t>& bytes) {
  shared::Reader in(bytes.data(), bytes.size());
  Reply r;
  in.Get(&r.ok);
  in.Get(&r.error);
  in.Get(&r.set);
  return r;
}

class SharedMachine : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::Install(sim::Machine::LoadJson(kDevice));
  }
  void TearDown() override {
    server.reset();
    sim::SetSharedMachineLimits({});
    qzplatform::SetGround(nullptr);
  }
  // Serves this machine as for a started program.
  void Share() {
    std::vector<std::string> environment;
    server = qzplatform::CurrentGround()->ShareWithProcess(&environment);
    ASSERT_TRUE(server);
    ASSERT_EQ(environment.size(), 1u);
    path = environment[0].substr(environment[0].find('=') + 1);
  }

  std::shared_ptr<void> server;
  std::string path;
};

TEST_F(SharedMachine, ClearingTheClassInstallParametersIsServed) {
  Share();
  Peer peer(path);
  ASSERT_TRUE(peer.connected());
  ASSERT_TRUE(peer.Send(CreateList()));
  const auto made = peer.Receive(2s);
  ASSERT_TRUE(made);
  const Reply list = Read(*made);
  ASSERT_EQ(list.ok, 1u);
  // SetupDiSetClassInstallParamsW(set, no device, no parameters, 0) clears them.
  shared::Writer clear;
  clear.Put(shared::Op::kSetParams);
  clear.Put(list.set);
  clear.Put<std::uint8_t>(0);
  clear.Put(SP_DEVINFO_DATA{});
  clear.Put<std::uint8_t>(0);
  clear.Put<std::uint32_t>(0);
  ASSERT_TRUE(peer.Send(clear));
  const auto cleared = peer.Receive(2s);
  ASSERT_TRUE(cleared);
  EXPECT_EQ(Read(*cleared).ok, 1u);
}

TEST_F(SharedMachine, ASilentPeerHoldsUpNoOtherAndIsLetGo) {
  sim::SetSharedMachineLimits({1500ms, 10s});
  Share();
  Peer silent(path);
  ASSERT_TRUE(silent.connected());
  std::this_thread::sleep_for(50ms);  // the server has taken it first
  Peer busy(path);
  ASSERT_TRUE(busy.connected());
  ASSERT_TRUE(busy.Send(CreateList()));
  const auto reply = busy.Receive(1s);  // well within the silent one's idle limit
  ASSERT_TRUE(reply) << "the silent peer holds up the next one";
  EXPECT_EQ(Read(*reply).ok, 1u);
  // At its idle limit the silent peer's connection ends.
  const auto end = silent.Receive(5s);
  ASSERT_TRUE(end);
  EXPECT_TRUE(end->empty());
}

TEST_F(SharedMachine, AMachineThatDoesNotAnswerFailsTheCallInTime) {
  sim::SetSharedMachineLimits({30s, 300ms});
  // A socket that takes connections and never answers.
  char folder[] = "/tmp/qz-mute-XXXXXX";
  ASSERT_TRUE(::mkdtemp(folder));
  const std::string mute = std::string(folder) + "/machine";
  const sockaddr_un address = Address(mute);
  const int listener = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  // Should the call wait for ever, its connection is closed after 5 s, so the test ends.
  std::promise<void> returned;
  std::thread guard([listener, done = returned.get_future()] {
    if (done.wait_for(5s) == std::future_status::timeout) ::close(::accept(listener, nullptr, nullptr));
  });
  ::setenv(sim::kSharedMachineVariable, mute.c_str(), 1);
  ASSERT_TRUE(sim::ConnectToSharedMachine());
  const std::u16string name = u"SetupAPI.dll";
  const HMODULE setupapi = LoadLibraryW(qzplatform::AsWide(name));
  const auto create = reinterpret_cast<PFN_SetupDiCreateDeviceInfoList>(
      reinterpret_cast<void*>(GetProcAddress(setupapi, "SetupDiCreateDeviceInfoList")));
  ASSERT_NE(create, nullptr);

  const auto start = std::chrono::steady_clock::now();
  const HDEVINFO set = create(nullptr, nullptr);
  const DWORD error = GetLastError();
  const auto waited = std::chrono::steady_clock::now() - start;
  returned.set_value();
  guard.join();
  FreeLibrary(setupapi);
  ::unsetenv(sim::kSharedMachineVariable);
  ::close(listener);
  ::unlink(mute.c_str());
  ::rmdir(folder);

  EXPECT_EQ(set, INVALID_HANDLE_VALUE);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_LT(waited, 2s);
}

}  // namespace
