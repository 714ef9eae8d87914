// Device state through sysfs: binding and unbinding a HID device's driver (disable,
// enable, restart) and a USB device's authorisation (remove, bring back).
#pragma once

#include <string>

#include "qzplatform/linux/linux_ground.h"

namespace qzplatform::linux_ground {

// Writes `text` to a sysfs control file: 0, or the Win32 error (ERROR_ACCESS_DENIED
// without the rights for it, ERROR_FILE_NOT_FOUND when the file is missing,
// ERROR_NO_SUCH_DEVINST when the kernel does not know the device).
DWORD WriteControl(const std::string& path, const std::string& text);

// Unbinds `hid_id` (BBBB:VVVV:PPPP.NNNN) from `driver`.
DWORD UnbindDriver(const Roots& roots, const std::string& hid_id, const std::string& driver);
// Binds `hid_id` to `driver`, or lets the kernel choose when `driver` is empty.
DWORD BindDriver(const Roots& roots, const std::string& hid_id, const std::string& driver);
// Writes the USB device's "authorized" attribute: false drops its interfaces and so its
// HID devices; true brings them back.
DWORD AuthorizeUsb(const std::string& usb_dir, bool authorized);

}  // namespace qzplatform::linux_ground
