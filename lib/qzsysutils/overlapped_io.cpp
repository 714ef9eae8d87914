// Overlapped reads and writes on a device handle, waited for or not.
#include "qzsysutils/qzsysutils.h"

namespace qz {
namespace {

// Clears the record's status and offset members; hEvent stays as the caller set it.
void ResetOverlapped(OVERLAPPED* overlapped) {
  overlapped->Internal = 0;
  overlapped->InternalHigh = 0;
  overlapped->Offset = 0;
  overlapped->OffsetHigh = 0;
}

}  // namespace

bool WaitOverlappedResult(HANDLE handle, OVERLAPPED* overlapped, DWORD* transferred,
                          DWORD* error) {
  *error = GetLastError();
  if (*error != ERROR_IO_PENDING) return false;
  if (GetOverlappedResult(handle, overlapped, transferred, TRUE)) return true;
  *error = GetLastError();
  return false;
}

bool WriteFileWait(HANDLE handle, const void* buffer, DWORD count, OVERLAPPED* overlapped) {
  ResetOverlapped(overlapped);
  DWORD transferred = 0;
  if (WriteFile(handle, buffer, count, &transferred, overlapped)) return true;
  DWORD error = 0;
  return WaitOverlappedResult(handle, overlapped, &transferred, &error);
}

bool ReadFileWait(HANDLE handle, void* buffer, DWORD count, OVERLAPPED* overlapped) {
  ResetOverlapped(overlapped);
  DWORD transferred = 0;
  if (ReadFile(handle, buffer, count, &transferred, overlapped)) return true;
  DWORD error = 0;
  return WaitOverlappedResult(handle, overlapped, &transferred, &error);
}

bool WriteFileAsync(HANDLE handle, const void* buffer, DWORD count, OVERLAPPED* overlapped) {
  ResetOverlapped(overlapped);
  DWORD transferred = 0;
  if (WriteFile(handle, buffer, count, &transferred, overlapped)) return true;
  return GetLastError() == ERROR_IO_PENDING;
}

HWND GetOwnerWindow() { return GetForegroundWindow(); }

}  // namespace qz
