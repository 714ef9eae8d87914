// CreateFileW, ReadFile, WriteFile and the overlapped-result calls: the same for every
// ground. A path the active ground owns opens one of its devices; any other path is a
// regular file.
#include <atomic>
#include <sys/stat.h>
#include <unistd.h>

#include "posix_file.h"
#include "qzplatform/trace.h"

using qzplatform::FileObject;
using qzplatform::IoRequest;
using qzplatform::trace::Traced;

namespace {

ULONG_PTR LoadStatus(OVERLAPPED* ov) {
  return std::atomic_ref<ULONG_PTR>(ov->Internal).load(std::memory_order_acquire);
}

std::shared_ptr<FileObject> FileFor(HANDLE h) {
  auto file = qzplatform::LookupHandleAs<FileObject>(h);
  if (!file) SetLastError(ERROR_INVALID_HANDLE);
  return file;
}

// Ends a transfer the way ReadFile/WriteFile report it: TRUE when it completed
// successfully, else FALSE with ERROR_IO_PENDING or the failure in the last error.
BOOL Report(OVERLAPPED* ov, LPDWORD transferred) {
  ULONG_PTR status = LoadStatus(ov);
  if (status == qzplatform::kStatusPending) {
    SetLastError(ERROR_IO_PENDING);
    return FALSE;
  }
  if (transferred) *transferred = static_cast<DWORD>(ov->InternalHigh);
  if (status != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(status));
    return FALSE;
  }
  return TRUE;
}

template <typename Start>
BOOL Transfer(HANDLE h, void* buffer, DWORD length, LPDWORD transferred, OVERLAPPED* ov,
              Start start) {
  auto file = FileFor(h);
  if (!file) return FALSE;
  if (transferred) *transferred = 0;
  if (!file->overlapped()) {
    // A handle opened without FILE_FLAG_OVERLAPPED blocks until the transfer ends.
    OVERLAPPED local{};
    local.Internal = qzplatform::kStatusPending;
    auto done = std::make_shared<qzplatform::EventObject>(true, false);
    start(*file, IoRequest(buffer, length, &local, done));
    while (LoadStatus(&local) == qzplatform::kStatusPending) done->Wait(INFINITE);
    return Report(&local, transferred);
  }
  if (!ov) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto event = ov->hEvent ? qzplatform::LookupHandleAs<qzplatform::EventObject>(ov->hEvent)
                          : file->CompletionEvent();
  if (event) event->Reset();  // Windows clears the event when a transfer starts
  ov->InternalHigh = 0;
  std::atomic_ref<ULONG_PTR>(ov->Internal).store(qzplatform::kStatusPending,
                                                 std::memory_order_release);
  start(*file, IoRequest(buffer, length, ov, event));
  return Report(ov, transferred);
}

}  // namespace

static HANDLE OpenFile(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                       LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                       DWORD dwFlagsAndAttributes, HANDLE) {
  if (!lpFileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::u16string_view path(qzplatform::AsChar16(lpFileName));
  DWORD error = ERROR_SUCCESS;
  std::shared_ptr<FileObject> file;
  bool is_device = false;
  if (auto ground = qzplatform::CurrentGround())
    file = ground->OpenDevice(path, dwDesiredAccess, dwShareMode, dwFlagsAndAttributes,
                              &is_device, &error);
  if (!is_device)
    file = qzplatform::PosixFile::Open(path, dwDesiredAccess, dwShareMode, dwCreationDisposition,
                                       dwFlagsAndAttributes, &error);
  if (!file) {
    SetLastError(error ? error : ERROR_GEN_FAILURE);
    return INVALID_HANDLE_VALUE;
  }
  SetLastError(ERROR_SUCCESS);
  return qzplatform::InsertHandle(std::move(file));
}

static BOOL Read(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                 LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
  return Transfer(hFile, lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead, lpOverlapped,
                  [](FileObject& f, IoRequest r) { f.StartRead(std::move(r)); });
}

static BOOL Write(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                  LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
  // The request never writes into a write's buffer.
  return Transfer(hFile, const_cast<LPVOID>(lpBuffer), nNumberOfBytesToWrite,
                  lpNumberOfBytesWritten, lpOverlapped,
                  [](FileObject& f, IoRequest r) { f.StartWrite(std::move(r)); });
}

static BOOL OverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped,
                             LPDWORD lpNumberOfBytesTransferred, BOOL bWait) {
  if (!lpOverlapped) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (LoadStatus(lpOverlapped) == qzplatform::kStatusPending && bWait) {
    // As on Windows, the wait is on the record's event (or the file): a pulse of that
    // event ends the wait although the transfer has not finished.
    std::shared_ptr<qzplatform::EventObject> event;
    if (lpOverlapped->hEvent)
      event = qzplatform::LookupHandleAs<qzplatform::EventObject>(lpOverlapped->hEvent);
    else if (auto file = FileFor(hFile))
      event = file->CompletionEvent();
    if (!event) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    event->Wait(INFINITE);
  }
  if (LoadStatus(lpOverlapped) == qzplatform::kStatusPending) {
    SetLastError(ERROR_IO_INCOMPLETE);
    return FALSE;
  }
  return Report(lpOverlapped, lpNumberOfBytesTransferred);
}

static BOOL Cancel(HANDLE hFile) {
  auto file = FileFor(hFile);
  if (!file) return FALSE;
  file->CancelAll();
  return TRUE;
}

// The calls above as the program makes them, each traced under its own name.
HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                          DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                          HANDLE hTemplateFile) {
  return Traced<"CreateFileW", &OpenFile>(lpFileName, dwDesiredAccess, dwShareMode,
                                          lpSecurityAttributes, dwCreationDisposition,
                                          dwFlagsAndAttributes, hTemplateFile);
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
  return Traced<"ReadFile", &Read>(hFile, lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead,
                                   lpOverlapped);
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
  return Traced<"WriteFile", &Write>(hFile, lpBuffer, nNumberOfBytesToWrite,
                                     lpNumberOfBytesWritten, lpOverlapped);
}

BOOL WINAPI GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped,
                                LPDWORD lpNumberOfBytesTransferred, BOOL bWait) {
  return Traced<"GetOverlappedResult", &OverlappedResult>(hFile, lpOverlapped,
                                                          lpNumberOfBytesTransferred, bWait);
}

BOOL WINAPI CancelIo(HANDLE hFile) { return Traced<"CancelIo", &Cancel>(hFile); }

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, LONG* lpDistanceToMoveHigh,
                            DWORD dwMoveMethod) {
  auto file = FileFor(hFile);
  if (!file) return INVALID_SET_FILE_POINTER;
  LONGLONG distance = lpDistanceToMoveHigh
                          ? static_cast<LONGLONG>((static_cast<ULONGLONG>(
                                                       static_cast<DWORD>(*lpDistanceToMoveHigh))
                                                   << 32) |
                                                  static_cast<DWORD>(lDistanceToMove))
                          : lDistanceToMove;
  LONGLONG position = 0;
  DWORD error = file->Seek(distance, dwMoveMethod, &position);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return INVALID_SET_FILE_POINTER;
  }
  if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(position >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(position);
}

BOOL WINAPI SetEndOfFile(HANDLE hFile) {
  auto file = FileFor(hFile);
  if (!file) return FALSE;
  DWORD error = file->SetEnd();
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  auto file = FileFor(hFile);
  if (!file) return INVALID_FILE_SIZE;
  ULONGLONG size = 0;
  DWORD error = file->Size(&size);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return INVALID_FILE_SIZE;
  }
  if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size);
}

BOOL WINAPI DeleteFileW(LPCWSTR lpFileName) {
  if (!lpFileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string p = qzplatform::PosixPath(qzplatform::AsChar16(lpFileName));
  struct stat st;
  if (::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (::unlink(p.c_str()) != 0) {
    SetLastError(qzplatform::ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName) {
  if (!lpFileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_FILE_ATTRIBUTES;
  }
  const std::string p = qzplatform::PosixPath(qzplatform::AsChar16(lpFileName));
  struct stat st;
  if (::stat(p.c_str(), &st) != 0) {
    SetLastError(qzplatform::ErrorFromErrno(errno));
    return INVALID_FILE_ATTRIBUTES;
  }
  if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  return ::access(p.c_str(), W_OK) == 0 ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
}
