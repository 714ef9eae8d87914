// Running a program, optionally waiting a limited time for its exit code while the
// calling thread's messages keep flowing.
#include <chrono>
#include <optional>
#include <vector>

#include "qzclasses/dispatcher.h"
#include "qzwin32/qzwin32.h"

namespace qz {
namespace {

using Clock = std::chrono::steady_clock;

// How long a program that is being ended may take to go.
constexpr DWORD kEndingLimit = 5000;

// Milliseconds of `limit` left since `start` (INFINITE stays INFINITE).
DWORD TimeLeft(Clock::time_point start, DWORD limit) {
  if (limit == INFINITE) return INFINITE;
  const auto spent =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  return spent >= limit ? 0 : limit - static_cast<DWORD>(spent);
}

#ifdef _WIN32
// Dispatches the messages waiting for this thread. A quit request belongs to the loop
// that called us: it is kept and posted again once the wait is over.
void DispatchWaiting(std::optional<int>* quit) {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      *quit = static_cast<int>(msg.wParam);
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Waits for `handle` up to `limit` ms, dispatching the thread's window messages (the
// window's dispatcher wakes through them too). WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED.
DWORD WaitDispatching(HANDLE handle, DWORD limit) {
  const Clock::time_point start = Clock::now();
  std::optional<int> quit;
  DWORD result;
  while ((result = MsgWaitForMultipleObjects(1, &handle, FALSE, TimeLeft(start, limit),
                                             QS_ALLINPUT)) == WAIT_OBJECT_0 + 1)
    DispatchWaiting(&quit);
  if (quit) PostQuitMessage(*quit);
  return result;
}
#else
// Waits for `handle` up to `limit` ms; on the main thread its dispatcher keeps running
// the calls queued for it, as the toolkit's loop would.
DWORD WaitDispatching(HANDLE handle, DWORD limit) {
  if (!Dispatcher::IsInstalled() || !Dispatcher::Main().IsMainThread())
    return WaitForSingleObject(handle, limit);
  const Clock::time_point start = Clock::now();
  DWORD result = WAIT_TIMEOUT;
  Dispatcher::Main().WaitUntil([&] {
    result = WaitForSingleObject(handle, 0);
    return result != WAIT_TIMEOUT || TimeLeft(start, limit) == 0;
  });
  return result;
}
#endif

// A started program's handles. One that was waited for and is still running when they
// are let go (its wait reached the limit, failed, or was left by an error) is ended:
// nobody would ever collect it, and its file could not be removed.
class StartedProgram {
 public:
  StartedProgram(const PROCESS_INFORMATION& process, bool wait) : process_(process), wait_(wait) {}
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;
  ~StartedProgram() {
    if (wait_ && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT &&
        TerminateProcess(process_.hProcess, ERROR_TIMEOUT))
      WaitForSingleObject(process_.hProcess, kEndingLimit);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  HANDLE process() const { return process_.hProcess; }

 private:
  PROCESS_INFORMATION process_;
  bool wait_;
};

}  // namespace

bool RunProcess(const Text& commandLine, const Text& currentFolder, bool wait, bool hidden,
                DWORD waitLimit) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (hidden) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
  }
  // CreateProcessW may write into its command line.
  std::vector<char16_t> line(commandLine.begin(), commandLine.end());
  line.push_back(u'\0');
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, qzplatform::AsWide(line.data()), nullptr, nullptr, FALSE, 0, nullptr,
                      currentFolder.empty() ? nullptr : qzplatform::AsWide(currentFolder), &startup,
                      &process))
    return false;  // the creation error stays the last error

  DWORD outcome = ERROR_SUCCESS;
  bool ended = true;
  {
    StartedProgram program(process, wait);
    if (wait) {
      // The process ends after its last thread: waiting for it alone is enough.
      const DWORD waited = WaitDispatching(program.process(), waitLimit);
      ended = waited == WAIT_OBJECT_0 && GetExitCodeProcess(program.process(), &outcome);
      // A program still running, a failed wait or query: never an exit code.
      if (!ended) outcome = waited == WAIT_TIMEOUT ? ERROR_TIMEOUT : GetLastError();
      if (!ended && outcome == ERROR_SUCCESS) outcome = ERROR_GEN_FAILURE;
    }
  }
  SetLastError(outcome);
  return ended;
}

}  // namespace qz
