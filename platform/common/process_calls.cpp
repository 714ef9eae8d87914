// Processes and folders off Windows. CreateProcessW finds the program as Windows does
// without an application name, splits the command line by Windows' rules and starts it
// with posix_spawn; process and thread handles are signalled once the program has
// ended, GetExitCodeProcess reads its code and TerminateProcess ends it. Folders are made private to the user.
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <mutex>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "posix_file.h"
#include "qzplatform/helper_calls.h"

extern char** environ;

namespace qzplatform {
namespace {

// Windows reports a program ended by a fault with a status code; a signal here gives
// 0xC0000000 plus its number, so that it never reads as success.
DWORD ExitCodeOf(int status) {
  if (WIFEXITED(status)) return static_cast<DWORD>(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return 0xC0000000u | static_cast<DWORD>(WTERMSIG(status));
  return 0xFFFFFFFFu;
}

// A process: signalled like a manual-reset event once it has ended.
class ProcessObject : public EventObject {
 public:
  explicit ProcessObject(pid_t pid) : EventObject(true, false), pid_(pid) {}
  std::atomic<DWORD> exit_code{STILL_ACTIVE};

  // Waits for the program to end and collects it; its exit code, or the code it was
  // ended with by Terminate.
  DWORD Collect() {
    siginfo_t info{};
    int r;
    // Waiting without collecting keeps the process ID ours until `collected_` is set,
    // so Terminate can never signal another program that got the same ID.
    do r = ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT);
    while (r < 0 && errno == EINTR);
    std::lock_guard lock(mutex_);
    int status = 0;
    const bool got = ::waitpid(pid_, &status, 0) == pid_;
    collected_ = true;
    if (!got) return 0xFFFFFFFFu;
    if (terminated_ && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) return terminate_code_;
    return ExitCodeOf(status);
  }

  // Ends the program with `code` as its exit code; false once it has ended.
  bool Terminate(DWORD code) {
    std::lock_guard lock(mutex_);
    if (collected_ || ::kill(pid_, SIGKILL) != 0) return false;
    terminated_ = true;
    terminate_code_ = code;
    return true;
  }

 private:
  const pid_t pid_;
  std::mutex mutex_;
  bool collected_ = false;
  bool terminated_ = false;
  DWORD terminate_code_ = 0;
};

// Its primary thread, which ends with it.
class ThreadObject : public EventObject {
 public:
  ThreadObject() : EventObject(true, false) {}
};

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool HasExtension(std::u16string_view name) {
  const std::size_t dot = name.rfind(u'.');
  const std::size_t slash = name.find_last_of(u"\\/");
  return dot != std::u16string_view::npos && (slash == std::u16string_view::npos || dot > slash);
}

// The file a program name means: the name with ".exe" added when it has no extension,
// else the name itself, as long as it is a regular file.
bool ProgramFile(std::u16string_view name, std::string* path) {
  if (!HasExtension(name)) {
    const std::string exe = PosixPath(std::u16string(name) + u".exe");
    if (IsRegularFile(exe)) {
      *path = exe;
      return true;
    }
  }
  const std::string plain = PosixPath(name);
  if (!IsRegularFile(plain)) return false;
  *path = plain;
  return true;
}

// Without an application name Windows takes a quoted first token whole. An unquoted
// one is tried at each blank in turn, shortest first, and the first name that is a
// file wins: "C:\Program Files\a.exe" unquoted may start C:\Program.exe.
bool FindProgram(std::u16string_view command, std::string* path) {
  std::size_t start = 0;
  while (start < command.size() && IsBlank(command[start])) ++start;
  command.remove_prefix(start);
  if (command.empty()) return false;
  if (command[0] == u'"') {
    const std::size_t close = command.find(u'"', 1);
    return ProgramFile(command.substr(1, close == std::u16string_view::npos ? close : close - 1),
                       path);
  }
  for (std::size_t end = 0; end <= command.size(); ++end) {
    if (end < command.size() && !IsBlank(command[end])) continue;
    if (end > 0 && ProgramFile(command.substr(0, end), path)) return true;
  }
  return false;
}

std::vector<std::string> SplitArguments(LPCWSTR command) {
  std::vector<std::string> args;
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(command, &count);
  if (!argv) return args;
  for (int i = 0; i < count; ++i) args.push_back(ToUtf8(AsChar16(argv[i])));
  LocalFree(argv);
  return args;
}

// The caller's environment with `extra` ("NAME=value") replacing entries of the same name.
std::vector<std::string> Environment(const std::vector<std::string>& extra) {
  std::vector<std::string> result;
  for (char** e = environ; e && *e; ++e) {
    const std::string entry(*e);
    const std::string name = entry.substr(0, entry.find('=') + 1);
    bool replaced = false;
    for (const std::string& x : extra) replaced = replaced || x.rfind(name, 0) == 0;
    if (!replaced) result.push_back(entry);
  }
  result.insert(result.end(), extra.begin(), extra.end());
  return result;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> p;
  for (std::string& t : texts) p.push_back(t.data());
  p.push_back(nullptr);
  return p;
}

}  // namespace

std::optional<std::u16string> Ground::TempFolder() { return std::nullopt; }

std::shared_ptr<void> Ground::ShareWithProcess(std::vector<std::string>*) { return nullptr; }

}  // namespace qzplatform

using qzplatform::ProcessObject;
using qzplatform::ThreadObject;

BOOL WINAPI CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine, LPSECURITY_ATTRIBUTES,
                           LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID lpEnvironment,
                           LPCWSTR lpCurrentDirectory, LPSTARTUPINFOW lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation) {
  if (!lpStartupInfo || lpStartupInfo->cb < sizeof(STARTUPINFOW) || !lpProcessInformation ||
      (!lpApplicationName && (!lpCommandLine || !*lpCommandLine)))
    return qzplatform::Failed(ERROR_INVALID_PARAMETER);
  // A block of environment strings is not needed by this system.
  if (lpEnvironment) return qzplatform::Failed(ERROR_NOT_SUPPORTED);

  std::string program;
  if (lpApplicationName) {
    program = qzplatform::PosixPath(qzplatform::AsChar16(lpApplicationName));
    if (!qzplatform::IsRegularFile(program)) return qzplatform::Failed(ERROR_FILE_NOT_FOUND);
  } else if (!qzplatform::FindProgram(qzplatform::AsChar16(lpCommandLine), &program)) {
    return qzplatform::Failed(ERROR_FILE_NOT_FOUND);
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  struct ActionsGuard {
    posix_spawn_file_actions_t* a;
    ~ActionsGuard() { posix_spawn_file_actions_destroy(a); }
  } guard{&actions};
  std::string folder;
  if (lpCurrentDirectory) {
    folder = qzplatform::PosixPath(qzplatform::AsChar16(lpCurrentDirectory));
    struct stat st;
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
      return qzplatform::Failed(ERROR_DIRECTORY);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  }

  // The program sees its arguments as the Windows command line gives them.
  std::vector<std::string> args =
      lpCommandLine ? qzplatform::SplitArguments(lpCommandLine) : std::vector<std::string>{};
  if (args.empty()) args.push_back(program);
  std::vector<std::string> extra;
  std::shared_ptr<void> shared;
  if (auto ground = qzplatform::CurrentGround()) shared = ground->ShareWithProcess(&extra);
  std::vector<std::string> env = qzplatform::Environment(extra);
  std::vector<char*> argv = qzplatform::Pointers(args);
  std::vector<char*> envp = qzplatform::Pointers(env);

  pid_t pid = 0;
  const int error = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  if (error != 0)
    return qzplatform::Failed(error == ENOEXEC ? ERROR_BAD_EXE_FORMAT
                                               : qzplatform::ErrorFromErrno(error));

  auto process = std::make_shared<ProcessObject>(pid);
  auto thread = std::make_shared<ThreadObject>();
  // One waiter per program collects its exit status, so no program stays a zombie
  // whether or not anybody waits for it.
  std::thread([process, thread, shared = std::move(shared)]() mutable {
    process->exit_code = process->Collect();
    shared.reset();  // what the ground shared with the program ends before anyone is told
    thread->Set();
    process->Set();
  }).detach();

  lpProcessInformation->hProcess = qzplatform::InsertHandle(process);
  lpProcessInformation->hThread = qzplatform::InsertHandle(thread);
  lpProcessInformation->dwProcessId = static_cast<DWORD>(pid);
  lpProcessInformation->dwThreadId = static_cast<DWORD>(pid);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
  auto process = qzplatform::LookupHandleAs<ProcessObject>(hProcess);
  if (!process) return qzplatform::Failed(ERROR_INVALID_HANDLE);
  if (!lpExitCode) return qzplatform::Failed(ERROR_NOACCESS);
  *lpExitCode = process->exit_code.load();
  return TRUE;
}

BOOL WINAPI TerminateProcess(HANDLE hProcess, UINT uExitCode) {
  auto process = qzplatform::LookupHandleAs<ProcessObject>(hProcess);
  if (!process) return qzplatform::Failed(ERROR_INVALID_HANDLE);
  // As on Windows, a program that has already ended cannot be ended again.
  if (!process->Terminate(uExitCode)) return qzplatform::Failed(ERROR_ACCESS_DENIED);
  return TRUE;
}

DWORD WINAPI GetCurrentProcessId() { return static_cast<DWORD>(::getpid()); }

void WINAPI Sleep(DWORD dwMilliseconds) {
  if (dwMilliseconds == 0)
    std::this_thread::yield();
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}

// A folder made here is its owner's alone (mode 0700): on Windows a folder below the
// user's temporary folder inherits an access list that only the user can pass.
BOOL WINAPI CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES) {
  if (!lpPathName || !*lpPathName) return qzplatform::Failed(ERROR_PATH_NOT_FOUND);
  const std::string p = qzplatform::PosixPath(qzplatform::AsChar16(lpPathName));
  if (::mkdir(p.c_str(), 0700) == 0) return TRUE;
  const int e = errno;
  if (e == EEXIST) return qzplatform::Failed(ERROR_ALREADY_EXISTS);
  if (e == ENOENT) return qzplatform::Failed(ERROR_PATH_NOT_FOUND);
  return qzplatform::Failed(qzplatform::ErrorFromErrno(e));
}

BOOL WINAPI RemoveDirectoryW(LPCWSTR lpPathName) {
  if (!lpPathName) return qzplatform::Failed(ERROR_INVALID_PARAMETER);
  const std::string p = qzplatform::PosixPath(qzplatform::AsChar16(lpPathName));
  if (::rmdir(p.c_str()) == 0) return TRUE;
  const int e = errno;
  if (e == ENOTEMPTY || e == EEXIST) return qzplatform::Failed(ERROR_DIR_NOT_EMPTY);
  if (e == ENOTDIR) return qzplatform::Failed(ERROR_DIRECTORY);
  return qzplatform::Failed(qzplatform::ErrorFromErrno(e));
}
