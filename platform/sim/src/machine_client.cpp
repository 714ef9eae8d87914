// The started side of a shared sim machine: a ground whose "SetupAPI.dll" carries the
// device helper's property-change calls to the starting program's machine, each
// waiting for its reply no longer than the reply limit.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include "qzplatform/ascii_text.h"
#include "qzplatform/ground.h"
#include "qzplatform/setupapi.h"
#include "qzplatform/sim/shared_machine.h"
#include "qzplatform/trace.h"
#include "shared_machine.h"

namespace qzplatform::sim {
namespace {

class Connection {
 public:
  bool Open(const std::string& path) {
    std::lock_guard lock(mutex_);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    // Connecting, sending and receiving all give up at the reply limit (a zero
    // time-out would mean none at all).
    const auto limit = std::max(GetSharedMachineLimits().reply, std::chrono::milliseconds(1));
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(limit.count() / 1000);
    tv.tv_usec = static_cast<suseconds_t>(limit.count() % 1000 * 1000);
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0 ||
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::geteuid()) {
      ::close(fd);
      return false;
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
    return true;
  }

  // Sends one request and reads its reply, which starts with the call's result and
  // error; false when the machine cannot be reached (ERROR_GEN_FAILURE) or does not
  // answer in time (ERROR_TIMEOUT). After a failure the connection is given up: a late
  // reply must never be taken for the next call's.
  bool Call(const shared::Writer& request, std::vector<std::uint8_t>* reply) {
    std::lock_guard lock(mutex_);
    reply->assign(shared::kMaxMessage, 0);
    ssize_t n = -1;
    if (fd_ >= 0 && ::send(fd_, request.bytes.data(), request.bytes.size(), MSG_NOSIGNAL) >= 0) {
      do n = ::recv(fd_, reply->data(), reply->size(), 0);
      while (n < 0 && errno == EINTR);
    }
    if (n < 8) {
      const bool late = fd_ >= 0 && n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
      SetLastError(late ? ERROR_TIMEOUT : ERROR_GEN_FAILURE);
      if (fd_ >= 0) ::close(fd_);
      fd_ = -1;
      return false;
    }
    reply->resize(static_cast<std::size_t>(n));
    return true;
  }

 private:
  std::mutex mutex_;
  int fd_ = -1;
};

Connection& Starter() {
  static Connection connection;
  return connection;
}

// Sends the request and takes the result and error from the reply; the rest of the
// reply stays in `in`.
bool Exchange(const shared::Writer& request, std::vector<std::uint8_t>* buffer,
              shared::Reader* in) {
  if (!Starter().Call(request, buffer)) return false;
  *in = shared::Reader(buffer->data(), buffer->size());
  std::uint32_t ok = 0, error = 0;
  in->Get(&ok);
  in->Get(&error);
  if (!ok) SetLastError(error);
  return ok != 0;
}

void PutTarget(shared::Writer& w, HDEVINFO set, const SP_DEVINFO_DATA* info) {
  w.Put<std::uint64_t>(reinterpret_cast<std::uintptr_t>(set));
  w.Put<std::uint8_t>(info ? 1 : 0);
  w.Put(info ? *info : SP_DEVINFO_DATA{});
}

HDEVINFO WINAPI CreateDeviceInfoList(const GUID* ClassGuid, HWND) {
  shared::Writer w;
  w.Put(shared::Op::kCreateList);
  w.Put<std::uint8_t>(ClassGuid ? 1 : 0);
  w.Put(ClassGuid ? *ClassGuid : GUID{});
  std::vector<std::uint8_t> buffer;
  shared::Reader in(nullptr, 0);
  std::uint64_t set = 0;
  if (!Exchange(w, &buffer, &in) || !in.Get(&set)) return INVALID_HANDLE_VALUE;
  return reinterpret_cast<HDEVINFO>(static_cast<std::uintptr_t>(set));
}

BOOL WINAPI OpenDeviceInfo(HDEVINFO DeviceInfoSet, PCWSTR DeviceInstanceId, HWND, DWORD OpenFlags,
                           PSP_DEVINFO_DATA DeviceInfoData) {
  if (!DeviceInstanceId) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::u16string id(AsChar16(DeviceInstanceId));
  shared::Writer w;
  w.Put(shared::Op::kOpenInfo);
  w.Put<std::uint64_t>(reinterpret_cast<std::uintptr_t>(DeviceInfoSet));
  w.Put<std::uint32_t>(OpenFlags);
  w.Put<std::uint8_t>(DeviceInfoData ? 1 : 0);
  w.Put(DeviceInfoData ? *DeviceInfoData : SP_DEVINFO_DATA{});
  w.Put<std::uint32_t>(static_cast<std::uint32_t>(id.size()));
  w.PutBytes(id.data(), id.size() * sizeof(char16_t));
  std::vector<std::uint8_t> buffer;
  shared::Reader in(nullptr, 0);
  if (!Exchange(w, &buffer, &in)) return FALSE;
  SP_DEVINFO_DATA info{};
  if (DeviceInfoData && in.Get(&info)) *DeviceInfoData = info;
  return TRUE;
}

BOOL WINAPI SetClassInstallParams(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                  PSP_CLASSINSTALL_HEADER ClassInstallParams,
                                  DWORD ClassInstallParamsSize) {
  if (ClassInstallParams && ClassInstallParamsSize > shared::kMaxMessage / 2) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  shared::Writer w;
  w.Put(shared::Op::kSetParams);
  PutTarget(w, DeviceInfoSet, DeviceInfoData);
  w.Put<std::uint8_t>(ClassInstallParams ? 1 : 0);
  w.Put<std::uint32_t>(ClassInstallParams ? ClassInstallParamsSize : 0);
  if (ClassInstallParams) w.PutBytes(ClassInstallParams, ClassInstallParamsSize);
  std::vector<std::uint8_t> buffer;
  shared::Reader in(nullptr, 0);
  return Exchange(w, &buffer, &in);
}

BOOL WINAPI CallClassInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                               PSP_DEVINFO_DATA DeviceInfoData) {
  shared::Writer w;
  w.Put(shared::Op::kCallInstaller);
  w.Put<std::uint32_t>(InstallFunction);
  PutTarget(w, DeviceInfoSet, DeviceInfoData);
  std::vector<std::uint8_t> buffer;
  shared::Reader in(nullptr, 0);
  return Exchange(w, &buffer, &in);
}

BOOL WINAPI DestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
  shared::Writer w;
  w.Put(shared::Op::kDestroyList);
  w.Put<std::uint64_t>(reinterpret_cast<std::uintptr_t>(DeviceInfoSet));
  std::vector<std::uint8_t> buffer;
  shared::Reader in(nullptr, 0);
  return Exchange(w, &buffer, &in);
}

static_assert(std::is_same_v<decltype(&CreateDeviceInfoList), PFN_SetupDiCreateDeviceInfoList>);
static_assert(std::is_same_v<decltype(&OpenDeviceInfo), PFN_SetupDiOpenDeviceInfoW>);
static_assert(std::is_same_v<decltype(&SetClassInstallParams), PFN_SetupDiSetClassInstallParamsW>);
static_assert(std::is_same_v<decltype(&CallClassInstaller), PFN_SetupDiCallClassInstaller>);
static_assert(std::is_same_v<decltype(&DestroyDeviceInfoList), PFN_SetupDiDestroyDeviceInfoList>);

// The ground of a program sharing its starter's machine: the shared SetupAPI calls and
// nothing else (no devices, no other modules).
class SharedMachineGround : public Ground {
 public:
  std::u16string_view Name() const override { return u"sim (shared)"; }
  std::shared_ptr<FileObject> OpenDevice(std::u16string_view path, DWORD, DWORD, DWORD,
                                         bool* is_device, DWORD* error) override {
    *is_device = path.size() >= 4 && path[0] == u'\\' && path[1] == u'\\';
    *error = ERROR_FILE_NOT_FOUND;
    return nullptr;
  }
  std::shared_ptr<const Module> FindModule(std::u16string_view name) override {
    const std::u16string key = LowerAsciiText(name);
    if (key != u"setupapi.dll" && key != u"setupapi") return nullptr;
    static const auto module = std::make_shared<const Module>(
        u"SetupAPI.dll",
        std::vector<Module::Entry>{
            trace::TracedEntry<"SetupDiCreateDeviceInfoList", CreateDeviceInfoList>(),
            trace::TracedEntry<"SetupDiOpenDeviceInfoW", OpenDeviceInfo>(),
            trace::TracedEntry<"SetupDiSetClassInstallParamsW", SetClassInstallParams>(),
            trace::TracedEntry<"SetupDiCallClassInstaller", CallClassInstaller>(),
            trace::TracedEntry<"SetupDiDestroyDeviceInfoList", DestroyDeviceInfoList>(),
        });
    return module;
  }
  bool GetVersion(OSVERSIONINFOEXW*) override { return false; }
};

}  // namespace

bool ConnectToSharedMachine() {
  const char* path = std::getenv(kSharedMachineVariable);
  if (!path || !*path || !Starter().Open(path)) return false;
  SetGround(std::make_shared<SharedMachineGround>());
  return true;
}

}  // namespace qzplatform::sim
