// The starting side of a shared sim machine: while a started program runs, one thread
// serves its SetupAPI calls on this machine through a Unix socket. The socket lies in
// a folder made new with mode 0700, only peers of the same user are served, and only
// the device information sets a peer created itself can be named by it. Every peer is
// served as its requests come; none can hold up another.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <list>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "qzplatform/sim/shared_machine.h"
#include "qzplatform/sim/sim_ground.h"
#include "shared_machine.h"

namespace qzplatform::sim {
namespace {

using Clock = std::chrono::steady_clock;

thread_local bool t_serving = false;

// At most this many programs are connected at once; more are turned away.
constexpr std::size_t kMaxPeers = 32;

std::atomic<std::int64_t> g_idle_limit_ms{30000};
std::atomic<std::int64_t> g_reply_limit_ms{10000};

std::chrono::milliseconds LimitMs(const std::atomic<std::int64_t>& limit) {
  return std::chrono::milliseconds(limit.load());
}

template <typename F>
F EntryOf(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(hidshared::SetupApiModule()->Find(name)));
}

// Sockets' paths are short (108 bytes): the folder goes to the system's temporary
// folder, not to a machine's own, which tests make long on purpose.
std::string SocketBase() {
  const char* dir = std::getenv("TMPDIR");
  std::string base = dir && *dir ? dir : "/tmp";
  return base.size() > 60 ? "/tmp" : base;
}

bool SameUser(int socket) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return ::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
         peer.uid == ::geteuid();
}

class MachineServer {
 public:
  // Null when the socket cannot be made.
  static std::shared_ptr<MachineServer> Start() {
    auto server = std::shared_ptr<MachineServer>(new MachineServer());
    return server->Listen() ? server : nullptr;
  }
  MachineServer(const MachineServer&) = delete;
  MachineServer& operator=(const MachineServer&) = delete;
  ~MachineServer() {
    if (thread_.joinable()) {
      const char stop = 1;
      while (::write(wake_[1], &stop, 1) < 0 && errno == EINTR) {
      }
      thread_.join();
    }
    for (int fd : {listener_, wake_[0], wake_[1]})
      if (fd >= 0) ::close(fd);
    if (!path_.empty()) ::unlink(path_.c_str());
    if (!folder_.empty()) ::rmdir(folder_.c_str());
  }
  const std::string& path() const { return path_; }

 private:
  MachineServer() = default;

  bool Listen() {
    std::string folder = SocketBase() + "/qz-sim-XXXXXX";
    if (!::mkdtemp(folder.data())) return false;  // mode 0700
    folder_ = folder;
    const std::string path = folder + "/machine";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    listener_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address))
      return false;
    path_ = path;
    if (::listen(listener_, 4) != 0 || ::pipe2(wake_, O_CLOEXEC) != 0) return false;
    thread_ = std::thread([this] { Run(); });
    return true;
  }

  // A connected program: the sets it created and has not destroyed, and when it last
  // asked for something.
  struct Peer {
    int fd = -1;
    std::set<HDEVINFO> sets;
    Clock::time_point last;
  };

  // Serves every connected peer from one poll loop, so a peer that sends nothing, or
  // does not read its replies, holds up no other. One silent for longer than the idle
  // limit is let go.
  void Run() {
    t_serving = true;
    std::list<Peer> peers;
    std::vector<std::uint8_t> buffer(shared::kMaxMessage);
    for (;;) {
      std::vector<pollfd> fds = {{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
      for (const Peer& peer : peers) fds.push_back({peer.fd, POLLIN, 0});
      if (::poll(fds.data(), fds.size(), PollTimeout(peers)) < 0 && errno != EINTR) break;
      if (fds[0].revents) break;
      auto fd = fds.begin() + 2;
      for (auto peer = peers.begin(); peer != peers.end(); ++fd) {
        if (fd->revents ? Answer(*peer, buffer) : !IdleTooLong(*peer)) {
          ++peer;
        } else {
          Drop(*peer);
          peer = peers.erase(peer);
        }
      }
      if (fds[1].revents) Accept(peers);
    }
    for (Peer& peer : peers) Drop(peer);
  }

  static bool IdleTooLong(const Peer& peer) {
    return Clock::now() - peer.last >= LimitMs(g_idle_limit_ms);
  }

  // Milliseconds until the first peer's idle limit passes; -1 (no limit) without peers.
  static int PollTimeout(const std::list<Peer>& peers) {
    if (peers.empty()) return -1;
    Clock::time_point first = peers.front().last;
    for (const Peer& peer : peers) first = std::min(first, peer.last);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        first + LimitMs(g_idle_limit_ms) - Clock::now());
    return static_cast<int>(std::clamp<std::int64_t>(left.count() + 1, 0, 60000));
  }

  void Accept(std::list<Peer>& peers) {
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (connection < 0) return;
    if (!SameUser(connection) || peers.size() >= kMaxPeers) {
      ::close(connection);
      return;
    }
    peers.push_back(Peer{connection, {}, Clock::now()});
  }

  // Reads one request of a ready peer and sends its reply without waiting; false when the
  // peer has gone, failed, or does not take its replies.
  static bool Answer(Peer& peer, std::vector<std::uint8_t>& buffer) {
    const ssize_t n = ::recv(peer.fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    if (n == 0) return false;
    peer.last = Clock::now();
    shared::Reader in(buffer.data(), static_cast<std::size_t>(n));
    const std::vector<std::uint8_t> reply = Handle(in, peer.sets);
    return ::send(peer.fd, reply.data(), reply.size(), MSG_DONTWAIT | MSG_NOSIGNAL) >= 0;
  }

  // Closes the connection; the sets the peer left behind are destroyed.
  static void Drop(Peer& peer) {
    ::close(peer.fd);
    const auto destroy = EntryOf<PFN_SetupDiDestroyDeviceInfoList>("SetupDiDestroyDeviceInfoList");
    for (HDEVINFO set : peer.sets) destroy(set);
  }

  static std::vector<std::uint8_t> Reply(BOOL ok, DWORD error) {
    shared::Writer out;
    out.Put<std::uint32_t>(ok ? 1 : 0);
    out.Put<std::uint32_t>(ok ? ERROR_SUCCESS : error);
    return out.bytes;
  }

  // Reads a set and an optional device record; false when the message is short or the
  // set is not the peer's.
  static bool ReadTarget(shared::Reader& in, const std::set<HDEVINFO>& sets, HDEVINFO* set,
                         bool* has_info, SP_DEVINFO_DATA* info, DWORD* error) {
    std::uint64_t value = 0;
    std::uint8_t has = 0;
    if (!in.Get(&value) || !in.Get(&has) || !in.Get(info)) {
      *error = ERROR_INVALID_PARAMETER;
      return false;
    }
    *set = reinterpret_cast<HDEVINFO>(static_cast<std::uintptr_t>(value));
    *has_info = has != 0;
    if (!sets.count(*set)) {
      *error = ERROR_INVALID_HANDLE;
      return false;
    }
    return true;
  }

  static std::vector<std::uint8_t> Handle(shared::Reader& in, std::set<HDEVINFO>& sets) {
    std::uint32_t op = 0;
    in.Get(&op);
    HDEVINFO set = nullptr;
    bool has_info = false;
    SP_DEVINFO_DATA info{};
    DWORD error = ERROR_INVALID_PARAMETER;
    switch (static_cast<shared::Op>(op)) {
      case shared::Op::kCreateList: {
        std::uint8_t has_guid = 0;
        GUID guid{};
        if (!in.Get(&has_guid) || !in.Get(&guid)) break;
        const HDEVINFO made = EntryOf<PFN_SetupDiCreateDeviceInfoList>(
            "SetupDiCreateDeviceInfoList")(has_guid ? &guid : nullptr, nullptr);
        const bool ok = made != INVALID_HANDLE_VALUE;
        if (ok) sets.insert(made);
        std::vector<std::uint8_t> reply = Reply(ok, GetLastError());
        shared::Writer out;
        out.Put<std::uint64_t>(ok ? reinterpret_cast<std::uintptr_t>(made) : 0);
        reply.insert(reply.end(), out.bytes.begin(), out.bytes.end());
        return reply;
      }
      case shared::Op::kOpenInfo: {
        std::uint64_t value = 0;
        std::uint32_t flags = 0, length = 0;
        std::uint8_t has = 0;
        if (!in.Get(&value) || !in.Get(&flags) || !in.Get(&has) || !in.Get(&info) ||
            !in.Get(&length) || length > shared::kMaxMessage / 2)
          break;
        std::u16string id(length, u'\0');
        if (!in.GetBytes(id.data(), length * sizeof(char16_t))) break;
        set = reinterpret_cast<HDEVINFO>(static_cast<std::uintptr_t>(value));
        if (!sets.count(set)) {
          error = ERROR_INVALID_HANDLE;
          break;
        }
        const BOOL ok = EntryOf<PFN_SetupDiOpenDeviceInfoW>("SetupDiOpenDeviceInfoW")(
            set, AsWide(id), nullptr, flags, has ? &info : nullptr);
        std::vector<std::uint8_t> reply = Reply(ok, GetLastError());
        shared::Writer out;
        out.Put(info);
        reply.insert(reply.end(), out.bytes.begin(), out.bytes.end());
        return reply;
      }
      case shared::Op::kSetParams: {
        if (!ReadTarget(in, sets, &set, &has_info, &info, &error)) break;
        std::uint8_t has_params = 0;
        std::uint32_t size = 0;
        if (!in.Get(&has_params) || !in.Get(&size) || size > shared::kMaxMessage) {
          error = ERROR_INVALID_PARAMETER;
          break;
        }
        std::vector<std::uint8_t> params(size);
        if (!in.GetBytes(params.data(), size)) {
          error = ERROR_INVALID_PARAMETER;
          break;
        }
        const BOOL ok =
            EntryOf<PFN_SetupDiSetClassInstallParamsW>("SetupDiSetClassInstallParamsW")(
                set, has_info ? &info : nullptr,
                has_params ? reinterpret_cast<PSP_CLASSINSTALL_HEADER>(params.data()) : nullptr,
                size);
        return Reply(ok, GetLastError());
      }
      case shared::Op::kCallInstaller: {
        std::uint32_t function = 0;
        if (!in.Get(&function) || !ReadTarget(in, sets, &set, &has_info, &info, &error)) break;
        const BOOL ok = EntryOf<PFN_SetupDiCallClassInstaller>("SetupDiCallClassInstaller")(
            function, set, has_info ? &info : nullptr);
        return Reply(ok, GetLastError());
      }
      case shared::Op::kDestroyList: {
        std::uint64_t value = 0;
        if (!in.Get(&value)) break;
        set = reinterpret_cast<HDEVINFO>(static_cast<std::uintptr_t>(value));
        if (!sets.erase(set)) {
          error = ERROR_INVALID_HANDLE;
          break;
        }
        const BOOL ok =
            EntryOf<PFN_SetupDiDestroyDeviceInfoList>("SetupDiDestroyDeviceInfoList")(set);
        return Reply(ok, GetLastError());
      }
    }
    return Reply(FALSE, error);
  }

  std::string folder_;
  std::string path_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  std::thread thread_;
};

}  // namespace

bool ServingSharedProcess() { return t_serving; }

void SetSharedMachineLimits(const SharedMachineLimits& limits) {
  g_idle_limit_ms = limits.idle.count();
  g_reply_limit_ms = limits.reply.count();
}

SharedMachineLimits GetSharedMachineLimits() {
  return {LimitMs(g_idle_limit_ms), LimitMs(g_reply_limit_ms)};
}

std::optional<std::u16string> SimGround::TempFolder() {
  std::u16string folder = machine_->TempFolder();
  if (folder.empty()) return std::nullopt;
  return folder;
}

std::shared_ptr<void> SimGround::ShareWithProcess(std::vector<std::string>* environment) {
  auto server = MachineServer::Start();
  // Without a socket the program still runs; it just cannot reach this machine.
  if (!server) return nullptr;
  environment->push_back(std::string(kSharedMachineVariable) + "=" + server->path());
  return server;
}

}  // namespace qzplatform::sim
