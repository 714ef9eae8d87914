// Small system routines the library's units share: owner window, overlapped
// transfers on a device handle, the system error text and version texts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

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

// The name a table stores with a final "A" as the wide-character entry point's name:
// the last character replaced by "W" (empty stays empty).
std::string WideEntryName(std::string_view name);

// The kernel path of an open registry key ("\REGISTRY\MACHINE\SYSTEM\..."), empty
// when it cannot be read. With `root`: a path below \REGISTRY\MACHINE\ comes back
// relative to HKEY_LOCAL_MACHINE and one below \REGISTRY\USER\<SID>\ relative to
// HKEY_CURRENT_USER, with *root set to that key; any other path stays whole, *root null.
Text GetRegKeyPath(HKEY key, HKEY* root = nullptr);

// The value `valueName` of the key `subKey` below `root`, empty when it cannot be read.
// A REG_SZ value loses its terminating NUL; other types keep every whole character.
Text RegReadString(HKEY root, const Text& subKey, const Text& valueName);

// A list of NUL-terminated strings joined with `separator`. `length` counts the
// buffer's characters, terminating NULs included; the list ends at an empty string.
Text MultiSzToText(const WCHAR* buffer, std::size_t length, const Text& separator);

// Writes the program's RCDATA resource `resourceName` (found without regard to case) to
// `fileName`, created with `creation` (CREATE_ALWAYS replaces a file of that name;
// CREATE_NEW refuses one). True when the file holds the whole resource; a file this
// call made but could not fill is deleted again.
bool SaveResourceToFile(const Text& resourceName, const Text& fileName,
                        DWORD creation = CREATE_ALWAYS);

}  // namespace qz
