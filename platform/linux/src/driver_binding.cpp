// Writing sysfs control files for device state changes.
#include "driver_binding.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace qzplatform::linux_ground {

DWORD WriteControl(const std::string& path, const std::string& text) {
  int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  int error = fd < 0 ? errno : 0;
  if (fd >= 0) {
    ssize_t n;
    do n = ::write(fd, text.data(), text.size());
    while (n < 0 && errno == EINTR);
    if (n < 0) error = errno;
    ::close(fd);
  }
  switch (error) {
    case 0: return ERROR_SUCCESS;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    // The kernel answers ENODEV for a device it does not have (or not on that driver).
    case ENODEV:
    case ENXIO: return ERROR_NO_SUCH_DEVINST;
    case EBUSY: return ERROR_BUSY;
    default: return ErrorFromErrno(error);
  }
}

DWORD UnbindDriver(const Roots& roots, const std::string& hid_id, const std::string& driver) {
  if (driver.empty() || driver.find('/') != std::string::npos) return ERROR_INVALID_PARAMETER;
  return WriteControl(roots.sysfs + "/bus/hid/drivers/" + driver + "/unbind", hid_id);
}

DWORD BindDriver(const Roots& roots, const std::string& hid_id, const std::string& driver) {
  if (driver.find('/') != std::string::npos) return ERROR_INVALID_PARAMETER;
  if (driver.empty()) return WriteControl(roots.sysfs + "/bus/hid/drivers_probe", hid_id);
  return WriteControl(roots.sysfs + "/bus/hid/drivers/" + driver + "/bind", hid_id);
}

DWORD AuthorizeUsb(const std::string& usb_dir, bool authorized) {
  return WriteControl(usb_dir + "/authorized", authorized ? "1" : "0");
}

}  // namespace qzplatform::linux_ground
