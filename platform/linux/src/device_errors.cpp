// Mapping errno values of hidraw opens, transfers and ioctls to Win32 error codes.
#include "device_errors.h"

#include <cerrno>

namespace qzplatform::linux_ground {

DWORD OpenError(int error) {
  switch (error) {
    // A node that vanished between enumeration and open is a missing file on Windows too.
    case ENOENT:
    case ENODEV:
    case ENXIO: return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS: return ERROR_ACCESS_DENIED;
    // Linux has no share modes; a node another program holds exclusively answers EBUSY.
    case EBUSY: return ERROR_SHARING_VIOLATION;
    case EMFILE:
    case ENFILE:
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_GEN_FAILURE;
  }
}

DWORD DeviceError(int error, bool present) {
  switch (error) {
    case ENODEV:
    case ENXIO:
    case ESHUTDOWN: return ERROR_DEVICE_NOT_CONNECTED;
    case EIO: return present ? ERROR_GEN_FAILURE : ERROR_DEVICE_NOT_CONNECTED;
    case EACCES:
    case EPERM: return ERROR_ACCESS_DENIED;
    // A report the device or driver refuses for its length or ID.
    case EINVAL:
    case EMSGSIZE:
    case EOVERFLOW: return ERROR_INVALID_PARAMETER;
    // A stalled request: Windows reports a device that is not functioning.
    case EPIPE:
    case EPROTO: return ERROR_GEN_FAILURE;
    case ETIMEDOUT: return ERROR_SEM_TIMEOUT;
    case EBUSY: return ERROR_BUSY;
    case ENOTTY:
    case ENOSYS:
    case EOPNOTSUPP: return ERROR_INVALID_FUNCTION;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EFAULT: return ERROR_NOACCESS;
    case EBADF: return ERROR_INVALID_HANDLE;
    default: return ERROR_GEN_FAILURE;
  }
}

}  // namespace qzplatform::linux_ground
