// Listing the devices of a class as device records, through the device-installation
// interface. Nothing here logs or raises: a missing library, entry point or value
// leaves the result empty or unchanged.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "qzclasses/device.h"
#include "qzclasses/text.h"
#include "qzplatform/win32.h"

namespace qz {

// The enumeration's result: one entry per device, its text the record's Driver. The
// list owns the records until the caller moves them out.
using TqzDeviceRecords = std::vector<std::pair<Text, std::unique_ptr<TqzDevice>>>;

// Lists the devices of a setup or interface class and appends one record per device
// to `list`; entries already there stay in front, in their order.
//   classGuid       the class, or nullptr for all classes
//   presentOnly     only devices that are present now
//   deviceMode      walk devices and fill Driver, Service, NamePDO, Description,
//                   Manufacturer, GuidClass, RegKey, NameSymbolic, PortName, InstanceId,
//                   DevInst and BusRelations; when false, walk the class's device
//                   interfaces and fill only the first six and NameSymbolic (the
//                   interface path)
//   withInterfaces  the class is an interface class; in device mode NameSymbolic is
//                   then the device's first interface path of that class, else the
//                   "SymbolicName" value of its hardware key
// Adds nothing when the binding fails or the class cannot be listed.
void DiEnumInstalledDevices(const GUID* classGuid, bool presentOnly, bool deviceMode,
                            bool withInterfaces, TqzDeviceRecords& list);

}  // namespace qz
