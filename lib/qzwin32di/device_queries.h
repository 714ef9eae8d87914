// Single facts about a device from the device-installation interface: one registry
// property, and the instance IDs of its bus or removal relations.
#pragma once

#include "qzclasses/text.h"
#include "qzplatform/setupapi.h"

namespace qz {

// The text of a registry property (an SPDRP_ code) of a device in `set`: at most 255
// characters, up to the first NUL. Empty when the binding fails, the device lacks the
// property or the value does not fit.
Text DiGetDeviceProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property);

// The instance IDs of the bus relations (or, with `busRelations` false, the removal
// relations) of the device `instanceId`, joined with `separator`; empty when there are
// none or they cannot be read.
Text DiGetDeviceIdList(const Text& instanceId, const Text& separator, bool busRelations);

}  // namespace qz
