// The Windows error codes for what Linux reports on a hidraw node.
#pragma once

#include "qzplatform/win32.h"

namespace qzplatform::linux_ground {

// An open of a device node that failed with `error` (an errno value).
DWORD OpenError(int error);
// A transfer or request that failed with `error`. `present` tells whether the device
// is still there: Linux reports both an unplugged device and a refused request as EIO.
DWORD DeviceError(int error, bool present);

}  // namespace qzplatform::linux_ground
