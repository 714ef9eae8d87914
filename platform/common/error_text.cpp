// The thread's last-error value and the system message texts for the error codes
// the system can meet, worded as Windows words them.
#include <algorithm>
#include <iterator>
#include <string_view>

#include "qzplatform/ground.h"

namespace {

thread_local DWORD last_error = ERROR_SUCCESS;

struct MessageText {
  DWORD code;
  std::u16string_view text;
};

constexpr MessageText kMessages[] = {
    {0, u"The operation completed successfully."},
    {1, u"Incorrect function."},
    {2, u"The system cannot find the file specified."},
    {3, u"The system cannot find the path specified."},
    {5, u"Access is denied."},
    {6, u"The handle is invalid."},
    {8, u"Not enough memory resources are available to process this command."},
    {13, u"The data is invalid."},
    {22, u"The device does not recognize the command."},
    {29, u"The system cannot write to the specified device."},
    {30, u"The system cannot read from the specified device."},
    {31, u"A device attached to the system is not functioning."},
    {32, u"The process cannot access the file because it is being used by another process."},
    {38, u"Reached the end of the file."},
    {50, u"The request is not supported."},
    {80, u"The file exists."},
    {87, u"The parameter is incorrect."},
    {112, u"There is not enough space on the disk."},
    {120, u"This function is not supported on this system."},
    {121, u"The semaphore timeout period has expired."},
    {122, u"The data area passed to a system call is too small."},
    {123, u"The filename, directory name, or volume label syntax is incorrect."},
    {126, u"The specified module could not be found."},
    {127, u"The specified procedure could not be found."},
    {131, u"An attempt was made to move the file pointer before the beginning of the file."},
    {145, u"The directory is not empty."},
    {170, u"The requested resource is in use."},
    {183, u"Cannot create a file when that file already exists."},
    {206, u"The filename or extension is too long."},
    {234, u"More data is available."},
    {259, u"No more data is available."},
    {267, u"The directory name is invalid."},
    {995, u"The I/O operation has been aborted because of either a thread exit or an application request."},
    {996, u"Overlapped I/O event is not in a signaled state."},
    {997, u"Overlapped I/O operation is in progress."},
    {998, u"Invalid access to memory location."},
    {1167, u"The device is not connected."},
    {1168, u"Element not found."},
    {1460, u"This operation returned because the timeout period expired."},
    {1617, u"The device has been removed."},
    {1784, u"The supplied user buffer is not valid for the requested operation."},
};

constexpr DWORD kMessageNotFound = 317;  // ERROR_MR_MID_NOT_FOUND

}  // namespace

DWORD WINAPI GetLastError() { return last_error; }
void WINAPI SetLastError(DWORD dwErrCode) { last_error = dwErrCode; }

DWORD WINAPI FormatMessageW(DWORD dwFlags, LPCVOID, DWORD dwMessageId, DWORD, LPWSTR lpBuffer,
                            DWORD nSize, void*) {
  const auto* found = std::find_if(std::begin(kMessages), std::end(kMessages),
                                   [&](const MessageText& m) { return m.code == dwMessageId; });
  if (!(dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) || found == std::end(kMessages)) {
    SetLastError(kMessageNotFound);
    return 0;
  }
  // System messages end with a line break, as on Windows.
  std::u16string text(found->text);
  text += u"\r\n";
  if (!lpBuffer || nSize <= text.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(text.begin(), text.end(), lpBuffer);
  lpBuffer[text.size()] = 0;
  return static_cast<DWORD>(text.size());
}
