// System queries off Windows: version record, clock and its locale formats, program
// path, temporary folder, thread id, windows and message boxes, file versions.
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

#include "qzplatform/com.h"
#include "qzplatform/ground.h"
#include "qzplatform/test_hooks.h"

namespace {

// Copies `text` with its terminator into a caller's buffer of `size` units, as the
// Win32 string getters do; 0 when it does not fit (the count needed is not returned).
int CopyOut(const std::u16string& text, LPWSTR buffer, int size) {
  if (size == 0) return static_cast<int>(text.size() + 1);
  if (!buffer || size < 0 || static_cast<std::size_t>(size) <= text.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = 0;
  return static_cast<int>(text.size() + 1);
}

std::u16string Digits(unsigned value, int width) {
  std::u16string s = qzplatform::FromUtf8(std::to_string(value));
  while (static_cast<int>(s.size()) < width) s.insert(s.begin(), u'0');
  return s;
}

}  // namespace

BOOL WINAPI GetVersionExW(LPOSVERSIONINFOW lpVersionInformation) {
  if (!lpVersionInformation ||
      (lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXW) &&
       lpVersionInformation->dwOSVersionInfoSize != 276)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  auto ground = qzplatform::CurrentGround();
  if (!ground || !ground->GetVersion(lpVersionInformation)) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  return TRUE;
}

void WINAPI GetLocalTime(SYSTEMTIME* lpSystemTime) {
  if (!lpSystemTime) return;
  if (auto ground = qzplatform::CurrentGround()) return ground->GetLocalTime(lpSystemTime);
  qzplatform::SystemLocalTime(lpSystemTime);
}

// Off Windows the user's locale formats are ISO 8601: the short date yyyy-mm-dd and
// the long time HH:MM:SS.
int WINAPI GetDateFormatW(LCID, DWORD, const SYSTEMTIME* lpDate, LPCWSTR, LPWSTR lpDateStr,
                          int cchDate) {
  if (!lpDate) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return CopyOut(Digits(lpDate->wYear, 4) + u"-" + Digits(lpDate->wMonth, 2) + u"-" +
                     Digits(lpDate->wDay, 2),
                 lpDateStr, cchDate);
}

int WINAPI GetTimeFormatW(LCID, DWORD, const SYSTEMTIME* lpTime, LPCWSTR, LPWSTR lpTimeStr,
                          int cchTime) {
  if (!lpTime) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return CopyOut(Digits(lpTime->wHour, 2) + u":" + Digits(lpTime->wMinute, 2) + u":" +
                     Digits(lpTime->wSecond, 2),
                 lpTimeStr, cchTime);
}

DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
  if (hModule != nullptr || !lpFilename) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // Read once: like Windows, the process keeps the path it was started from, and the
  // log file asks for it with every entry.
  static const std::u16string program = [] {
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    path.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return qzplatform::FromUtf8(path);
  }();
  if (program.empty()) {
    SetLastError(ERROR_GEN_FAILURE);
    return 0;
  }
  const std::u16string& text = program;
  // As on Windows: a name that does not fit is cut and terminated, with ERROR_INSUFFICIENT_BUFFER.
  if (text.size() >= nSize) {
    if (nSize == 0) return 0;
    std::copy(text.begin(), text.begin() + (nSize - 1), lpFilename);
    lpFilename[nSize - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
  }
  std::copy(text.begin(), text.end(), lpFilename);
  lpFilename[text.size()] = 0;
  return static_cast<DWORD>(text.size());
}

DWORD WINAPI GetTempPathW(DWORD nBufferLength, LPWSTR lpBuffer) {
  const char* dir = std::getenv("TMPDIR");
  std::u16string text = qzplatform::FromUtf8(dir && *dir ? dir : "/tmp");
  // A ground may keep a temporary folder of its own (the sim machine's can be set).
  if (auto ground = qzplatform::CurrentGround())
    if (auto folder = ground->TempFolder(); folder && !folder->empty()) text = *folder;
  if (text.back() != u'/' && text.back() != u'\\') text += u'/';
  if (!lpBuffer || nBufferLength <= text.size()) return static_cast<DWORD>(text.size() + 1);
  std::copy(text.begin(), text.end(), lpBuffer);
  lpBuffer[text.size()] = 0;
  return static_cast<DWORD>(text.size());
}

DWORD WINAPI GetCurrentThreadId() { return static_cast<DWORD>(::gettid()); }

HWND WINAPI GetForegroundWindow() { return nullptr; }

namespace qzplatform {
namespace {

struct MessageBoxes {
  std::mutex mutex;
  bool capture = false;
  std::vector<std::u16string> shown;
};

MessageBoxes& Boxes() {
  static MessageBoxes boxes;
  return boxes;
}

}  // namespace

void CaptureMessageBoxes(bool on) {
  std::lock_guard lock(Boxes().mutex);
  Boxes().capture = on;
  Boxes().shown.clear();
}

std::vector<std::u16string> TakeMessageBoxes() {
  std::lock_guard lock(Boxes().mutex);
  return std::exchange(Boxes().shown, {});
}

}  // namespace qzplatform

// Without a window system the box goes to standard error; the user's answer is OK.
int WINAPI MessageBoxW(HWND, LPCWSTR lpText, LPCWSTR lpCaption, UINT) {
  std::u16string caption = lpCaption ? qzplatform::AsChar16(lpCaption) : u"";
  std::u16string text = lpText ? qzplatform::AsChar16(lpText) : u"";
  auto& boxes = qzplatform::Boxes();
  std::lock_guard lock(boxes.mutex);
  if (boxes.capture)
    boxes.shown.push_back(caption + u"|" + text);
  else
    std::fprintf(stderr, "[%s] %s\n", qzplatform::ToUtf8(caption).c_str(),
                 qzplatform::ToUtf8(text).c_str());
  return 1;  // IDOK
}

// Files carry no version resources off Windows.
DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR, LPDWORD lpdwHandle) {
  if (lpdwHandle) *lpdwHandle = 0;
  SetLastError(1813);  // ERROR_RESOURCE_TYPE_NOT_FOUND
  return 0;
}

BOOL WINAPI GetFileVersionInfoW(LPCWSTR, DWORD, DWORD, LPVOID) {
  SetLastError(1813);
  return FALSE;
}

BOOL WINAPI VerQueryValueW(LPCVOID, LPCWSTR, LPVOID* lplpBuffer, UINT* puLen) {
  if (lplpBuffer) *lplpBuffer = nullptr;
  if (puLen) *puLen = 0;
  return FALSE;
}

namespace {
thread_local unsigned t_com_initialisations = 0;
}  // namespace

// No COM off Windows: a thread's initialisations are only counted, as Windows counts them.
HRESULT WINAPI CoInitializeEx(LPVOID, DWORD) {
  return t_com_initialisations++ == 0 ? S_OK : S_FALSE;
}

void WINAPI CoUninitialize() {
  if (t_com_initialisations > 0) --t_com_initialisations;
}

// The pseudo handle Windows gives for the calling thread.
HANDLE WINAPI GetCurrentThread() { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2)); }

// Off Windows a thread's priority maps to its nice value (Windows' -2..2 steps as
// 5 nice steps each). Lowering always works; raising needs privileges the program
// usually lacks, and then the thread keeps its priority, which Windows callers do not
// check either.
BOOL WINAPI SetThreadPriority(HANDLE hThread, int nPriority) {
  if (hThread != GetCurrentThread()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  int nice_value = nPriority <= THREAD_PRIORITY_IDLE            ? 19
                   : nPriority >= THREAD_PRIORITY_TIME_CRITICAL ? -20
                                                                : -5 * nPriority;
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), nice_value);
  return TRUE;
}
