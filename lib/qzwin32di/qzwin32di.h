// Unit qzwin32di: the device-installation interface (SetupAPI.dll) and the
// configuration manager bound at run time, device enumeration over them, and device
// state changes (with the 64-bit device helper).
#pragma once

#include "qzwin32di/device_enumeration.h"
#include "qzwin32di/device_queries.h"
#include "qzwin32di/device_state.h"
#include "qzwin32di/setupapi_binding.h"
