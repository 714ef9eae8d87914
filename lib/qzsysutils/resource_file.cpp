// Writing one of the program's RCDATA resources to a file.
#include "qzsysutils/qzsysutils.h"

namespace qz {

bool SaveResourceToFile(const Text& resourceName, const Text& fileName, DWORD creation) {
  // Resource names match without regard to case; RT_RCDATA is type 10.
  HRSRC found = FindResourceW(nullptr, qzplatform::AsWide(resourceName), MAKEINTRESOURCEW(10));
  if (!found) return false;
  HGLOBAL loaded = LoadResource(nullptr, found);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  const DWORD size = SizeofResource(nullptr, found);
  if (!bytes) return false;
  HANDLE file =
      CreateFileW(qzplatform::AsWide(fileName), GENERIC_WRITE, 0, nullptr, creation, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool whole = WriteFile(file, bytes, size, &written, nullptr) && written == size;
  const bool closed = CloseHandle(file) != FALSE;
  // A file that does not hold the whole resource is of no use to anyone: it goes.
  if (!whole || !closed) {
    DeleteFileW(qzplatform::AsWide(fileName));
    return false;
  }
  return true;
}

}  // namespace qz
