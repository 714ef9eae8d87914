// Unit qzlinkbox: the device selection box that mirrors an I/O component's device list.
#pragma once

#include "qzlinkbox/device_box.h"
#include "qzlinkbox/list_control.h"
