// Small system routines the library's units share: owner window, overlapped
// transfers on a device handle, the system error text and version texts.
#pragma once

#include "qzclasses/text.h"
#include "qzplatform/win32.h"

namespace qz {

// The current foreground window, or none.
HWND GetOwnerWindow();

// Overlapped transfers: WriteFileWait and ReadFileWait block until the transfer
// ends and are true only when it completed; WriteFileAsync does not wait and is
// true when the write completed at once or is still pending (the buffer must then
// stay valid until it ends). The transferred count is not returned.
bool WriteFileWait(HANDLE handle, const void* buffer, DWORD count, OVERLAPPED* overlapped);
bool ReadFileWait(HANDLE handle, void* buffer, DWORD count, OVERLAPPED* overlapped);
bool WriteFileAsync(HANDLE handle, const void* buffer, DWORD count, OVERLAPPED* overlapped);
// Completes a transfer that returned failure: false unless the last error was
// ERROR_IO_PENDING and the waited result succeeded; `error` gets the failure code.
bool WaitOverlappedResult(HANDLE handle, OVERLAPPED* overlapped, DWORD* transferred,
                          DWORD* error);

// The system's message text for an error code, trailing blanks, control
// characters and full stops removed; empty for an unknown code.
Text SysErrorMessage(DWORD code);

// With an empty file name: the operating system's version text ("Windows XP
// [5.1.2600] Service Pack 3"). With a file name: the file's version formatted
// with `format` ("%u.%u.%u.%u" when empty), or empty when it has none.
Text GetVersionText(const Text& fileName, const Text& format);

}  // namespace qz
