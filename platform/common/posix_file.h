// Regular files over POSIX, shared by every ground off Windows.
#pragma once

#include <mutex>

#include "qzplatform/ground.h"

namespace qzplatform {

class PosixFile : public FileObject {
 public:
  // Opens with CreateFileW's access, share mode and creation disposition; null and
  // *error on failure. Writers of a regular file are kept apart as Windows' share modes
  // keep them: a writer that does not share writing holds an exclusive advisory lock for
  // the handle's life, one that does a shared lock, and a conflicting open fails with
  // ERROR_SHARING_VIOLATION before it changes the file. Readers are not held off.
  static std::shared_ptr<PosixFile> Open(std::u16string_view path, DWORD access, DWORD share,
                                         DWORD disposition, DWORD flags, DWORD* error);
  ~PosixFile() override;

  void StartRead(IoRequest request) override;
  void StartWrite(IoRequest request) override;
  DWORD Seek(LONGLONG distance, DWORD method, LONGLONG* position) override;
  DWORD SetEnd() override;
  DWORD Size(ULONGLONG* size) override;
  void OnClose() override;

 private:
  PosixFile(int fd, DWORD access, bool overlapped);
  int fd_;
  const DWORD access_;
  std::mutex mutex_;  // file position and descriptor
};

// A Windows-style path as a POSIX one: backslashes are read as delimiters.
std::string PosixPath(std::u16string_view path);

}  // namespace qzplatform
