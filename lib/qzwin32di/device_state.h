// Changing the state of one device instance, named by its instance ID, through the
// device-installation interface: enable, disable and restart (property changes),
// remove, and reset (remove and bring back). On 64-bit Windows a 32-bit process is
// refused property changes; the change is then made by the 64-bit device helper.
#pragma once

#include "qzclasses/text.h"
#include "qzplatform/win32.h"

namespace qz {

// A property change (state code DICS_ENABLE 1, DICS_DISABLE 2 or DICS_PROPCHANGE 3).
// Enabling first asks for the change in every hardware profile, then, like the other
// codes, in the current one. Refused with ERROR_IN_WOW64, it runs the helper with the
// quoted instance ID, the code and the device's class GUID. True when the change was
// made. Raises qz::Error whose message is the system's error code in hexadecimal
// ("E000020B") when the device cannot be opened, also for a system without
// SetupDiOpenDeviceInfoW (7F). An empty instance ID (to the system, the root of the
// device tree) or one holding a NUL is refused with E0000205 before the
// device-installation interface is used at all.
bool DiChangeDeviceState(const Text& instanceId, DWORD stateCode);
bool DiEnableDevice(const Text& instanceId);
bool DiDisableDevice(const Text& instanceId);
bool DiRestartDevice(const Text& instanceId);

// Removes the device; false when it cannot be opened or removed, and for an instance ID
// that is empty or holds a NUL (refused as by DiChangeDeviceState, last error E0000205).
bool DiRemoveDevice(const Text& instanceId);
// Removes the device and, 1000 ms later, brings it back; false when either fails.
bool DiResetDevice(const Text& instanceId);

// How long DiRunX64Stub waits for the helper by default, in milliseconds.
inline constexpr DWORD kHelperWaitLimit = 60000;

// Runs the device helper, carried as the program resource "QZX64STUB", with
// `parameters` after its own (quoted) path, and waits up to `waitLimit` ms for it,
// keeping the calling thread's messages flowing (RunProcess); a helper still running
// then is ended. The helper is written to a folder made new for this run in the
// temporary folder and held open against changes until it has ended; folder and file
// are removed on every path. True only when the helper was written, started and ended
// in time with exit code 0.
bool DiRunX64Stub(const Text& parameters, DWORD waitLimit = kHelperWaitLimit);

}  // namespace qz
