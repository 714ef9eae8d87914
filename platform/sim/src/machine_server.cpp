// The starting side of a shared sim machine: while a started program runs, one thread
// serves its SetupAPI calls on this machine through a Unix socket. The socket lies in
// a folder made new with mode 0700, only peers of the same user are served, and only
// the device information sets a peer created itself can be named by it.
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
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

thread_local bool t_serving = false;

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
    listener_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address))
      return false;
    path_ = path;
    if (::listen(listener_, 4) != 0 || ::pipe2(wake_, O_CLOEXEC) != 0) return false;
    thread_ = std::thread([this] { Run(); });
    return true;
  }

  // Waits for `fd` to be readable; false once the server is told to stop.
  bool WaitFor(int fd) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    for (;;) {
      if (::poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (fds[1].revents) return false;
      if (fds[0].revents) return true;
    }
  }

  void Run() {
    t_serving = true;
    while (WaitFor(listener_)) {
      const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection < 0) continue;
      if (SameUser(connection)) Serve(connection);
      ::close(connection);
    }
  }

  void Serve(int connection) {
    std::set<HDEVINFO> sets;  // those this peer created and has not destroyed
    std::vector<std::uint8_t> buffer(shared::kMaxMessage);
    while (WaitFor(connection)) {
      const ssize_t n = ::recv(connection, buffer.data(), buffer.size(), 0);
      if (n <= 0) break;
      shared::Reader in(buffer.data(), static_cast<std::size_t>(n));
      const std::vector<std::uint8_t> reply = Handle(in, sets);
      if (::send(connection, reply.data(), reply.size(), MSG_NOSIGNAL) < 0) break;
    }
    // A peer that ended without destroying its sets leaves nothing behind.
    const auto destroy = EntryOf<PFN_SetupDiDestroyDeviceInfoList>("SetupDiDestroyDeviceInfoList");
    for (HDEVINFO set : sets) destroy(set);
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
            set, W(id), nullptr, flags, has ? &info : nullptr);
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
