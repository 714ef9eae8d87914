// The error of a failed system call of the toolkit side.
#include "ui/win32/last_error.h"

#include "qzclasses/errors.h"
#include "qzclasses/format.h"
#include "qzplatform/win32.h"
#include "qzsysutils/qzsysutils.h"

namespace qzui {

void ThrowLastError(const char16_t* operation) {
  const DWORD code = GetLastError();
  throw qz::Error(qz::Format(u"%s failed: %s (error %u)", {operation, qz::SysErrorMessage(code), code}));
}

}  // namespace qzui
