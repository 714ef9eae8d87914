// Regular files over POSIX descriptors. Transfers complete at once, also on handles
// opened for overlapped I/O, which Windows allows too.
#include "posix_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qzplatform {

std::string PosixPath(std::u16string_view path) {
  std::string p = ToUtf8(path);
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOSPC: return ERROR_DISK_FULL;
    case EBUSY: return ERROR_BUSY;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case ENODEV:
    case ENXIO: return ERROR_DEVICE_NOT_CONNECTED;
    case EMSGSIZE: return ERROR_INVALID_PARAMETER;
    case ETIMEDOUT: return ERROR_SEM_TIMEOUT;
    case ENOSYS:
    case EOPNOTSUPP: return ERROR_NOT_SUPPORTED;
    default: return ERROR_GEN_FAILURE;
  }
}

namespace {

// The share-mode check of a regular file opened for writing (see PosixFile::Open), then
// the truncation its creation disposition asks for.
bool ShareWith(int fd, const struct stat& st, DWORD access, DWORD share, bool truncate,
               DWORD* error) {
  if ((access & GENERIC_WRITE) && S_ISREG(st.st_mode)) {
    const int lock = (share & FILE_SHARE_WRITE) ? LOCK_SH : LOCK_EX;
    int r;
    do r = ::flock(fd, lock | LOCK_NB);
    while (r != 0 && errno == EINTR);
    if (r != 0) {
      *error = errno == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : ErrorFromErrno(errno);
      return false;
    }
  }
  if (truncate && S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) {
    *error = ErrorFromErrno(errno);
    return false;
  }
  return true;
}

}  // namespace

std::shared_ptr<PosixFile> PosixFile::Open(std::u16string_view path, DWORD access, DWORD share,
                                           DWORD disposition, DWORD flags, DWORD* error) {
  const std::string p = PosixPath(path);
  if (p.empty()) {
    *error = ERROR_PATH_NOT_FOUND;
    return nullptr;
  }
  int mode = O_RDONLY;
  if ((access & GENERIC_READ) && (access & GENERIC_WRITE))
    mode = O_RDWR;
  else if (access & GENERIC_WRITE)
    mode = O_WRONLY;
  switch (disposition) {
    case CREATE_NEW: mode |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: mode |= O_CREAT | O_TRUNC; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: mode |= O_CREAT; break;
    case TRUNCATE_EXISTING: mode |= O_TRUNC; break;
    default: *error = ERROR_INVALID_PARAMETER; return nullptr;
  }
  // On Windows a file named *.exe is a program; here such a file is made runnable by
  // its owner when it is created.
  const bool program = p.size() > 4 && (p.compare(p.size() - 4, 4, ".exe") == 0 ||
                                        p.compare(p.size() - 4, 4, ".EXE") == 0);
  // Truncation waits until the share check has let the writer in.
  const bool truncate = (mode & O_TRUNC) != 0;
  int fd = ::open(p.c_str(), (mode & ~O_TRUNC) | O_CLOEXEC, program ? 0744 : 0644);
  if (fd < 0) {
    int e = errno;
    *error = ErrorFromErrno(e);
    // Windows tells a missing folder from a missing file.
    if (e == ENOENT) {
      auto slash = p.rfind('/');
      struct stat st;
      if (slash != std::string::npos && slash > 0 && ::stat(p.substr(0, slash).c_str(), &st) != 0)
        *error = ERROR_PATH_NOT_FOUND;
    }
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    *error = ERROR_ACCESS_DENIED;  // what Windows answers for a folder opened as a file
    return nullptr;
  }
  if (!ShareWith(fd, st, access, share, truncate, error)) {
    ::close(fd);
    return nullptr;
  }
  return std::shared_ptr<PosixFile>(new PosixFile(fd, access, (flags & FILE_FLAG_OVERLAPPED) != 0));
}

PosixFile::PosixFile(int fd, DWORD access, bool overlapped)
    : FileObject(overlapped), fd_(fd), access_(access) {}

PosixFile::~PosixFile() {
  if (fd_ >= 0) ::close(fd_);
}

void PosixFile::OnClose() {
  std::lock_guard lock(mutex_);
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void PosixFile::StartRead(IoRequest request) {
  std::lock_guard lock(mutex_);
  if (!(access_ & GENERIC_READ)) return request.Complete(ERROR_ACCESS_DENIED, 0);
  ssize_t n;
  do n = ::read(fd_, request.buffer(), request.length());
  while (n < 0 && errno == EINTR);
  if (n < 0) return request.Complete(ErrorFromErrno(errno), 0);
  request.Complete(ERROR_SUCCESS, static_cast<DWORD>(n));
}

void PosixFile::StartWrite(IoRequest request) {
  std::lock_guard lock(mutex_);
  if (!(access_ & GENERIC_WRITE)) return request.Complete(ERROR_ACCESS_DENIED, 0);
  DWORD done = 0;
  while (done < request.length()) {
    ssize_t n = ::write(fd_, request.buffer() + done, request.length() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return request.Complete(ErrorFromErrno(errno), done);
    done += static_cast<DWORD>(n);
  }
  request.Complete(ERROR_SUCCESS, done);
}

DWORD PosixFile::Seek(LONGLONG distance, DWORD method, LONGLONG* position) {
  std::lock_guard lock(mutex_);
  int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : SEEK_END;
  if (method > FILE_END) return ERROR_INVALID_PARAMETER;
  off_t r = ::lseek(fd_, static_cast<off_t>(distance), whence);
  if (r < 0) return errno == EINVAL ? ERROR_NEGATIVE_SEEK : ErrorFromErrno(errno);
  if (position) *position = r;
  return ERROR_SUCCESS;
}

DWORD PosixFile::SetEnd() {
  std::lock_guard lock(mutex_);
  if (!(access_ & GENERIC_WRITE)) return ERROR_ACCESS_DENIED;
  off_t at = ::lseek(fd_, 0, SEEK_CUR);
  if (at < 0 || ::ftruncate(fd_, at) != 0) return ErrorFromErrno(errno);
  return ERROR_SUCCESS;
}

DWORD PosixFile::Size(ULONGLONG* size) {
  std::lock_guard lock(mutex_);
  struct stat st;
  if (::fstat(fd_, &st) != 0) return ErrorFromErrno(errno);
  *size = static_cast<ULONGLONG>(st.st_size);
  return ERROR_SUCCESS;
}

}  // namespace qzplatform
