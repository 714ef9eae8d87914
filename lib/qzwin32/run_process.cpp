// Running a program, optionally waiting for its exit code.
#include <vector>

#include "qzwin32/qzwin32.h"

namespace qz {

void RunProcess(const Text& commandLine, const Text& currentFolder, bool wait, bool hidden) {
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
  if (!CreateProcessW(nullptr, qzplatform::W(line.data()), nullptr, nullptr, FALSE, 0, nullptr,
                      currentFolder.empty() ? nullptr : qzplatform::W(currentFolder), &startup,
                      &process))
    return;  // the creation error stays the last error

  DWORD outcome = 0;
  if (wait) {
    const bool ended = WaitForSingleObject(process.hThread, INFINITE) != WAIT_FAILED &&
                       WaitForSingleObject(process.hProcess, INFINITE) != WAIT_FAILED;
    if (!ended || !GetExitCodeProcess(process.hProcess, &outcome)) {
      // A failed wait or query must not read as a program that ended with 0.
      outcome = GetLastError();
      if (outcome == ERROR_SUCCESS) outcome = ERROR_GEN_FAILURE;
    }
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  SetLastError(outcome);
}

}  // namespace qz
