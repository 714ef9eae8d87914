// FlushFileBuffers: the same for every ground.
#include "qzplatform/ground.h"

// Off Windows a transfer is handed to the file object as it is made, so nothing waits in a
// buffer of this layer: a flush only checks the handle, as Windows does.
BOOL WINAPI FlushFileBuffers(HANDLE hFile) {
  if (!qzplatform::LookupHandleAs<qzplatform::FileObject>(hFile)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
