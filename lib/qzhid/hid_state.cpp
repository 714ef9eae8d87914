// The operating-system state of the current HID device: disable, enable, remove, reset
// and restart through the device-installation interface.
#include "qzhid/hid.h"
#include "qzwin32di/device_state.h"

namespace qz {
namespace {

Text Request(const char16_t* what, const TqzHidDevice& device) {
  return what + device.NameFriendly + u" | " + device.InstanceId;
}

}  // namespace

// Each logs the request for the current record and hands its instance ID on; the
// property changes pass the system's outcome back to the caller.
bool TqzHid::Disable() {
  if (!fHidDevice) return false;
  const Text id = fHidDevice->InstanceId;
  LogAdd(dlDetail, Request(u"Disable HID device:", *fHidDevice));
  return DiDisableDevice(id);
}

bool TqzHid::Enable() {
  if (!fHidDevice) return false;
  const Text id = fHidDevice->InstanceId;
  LogAdd(dlDetail, Request(u"Enable HID device:", *fHidDevice));
  return DiEnableDevice(id);
}

void TqzHid::Remove() {
  if (!fHidDevice) return;
  const Text id = fHidDevice->InstanceId;
  LogAdd(dlDetail, Request(u"Remove HID device:", *fHidDevice));
  DiRemoveDevice(id);
}

void TqzHid::Reset() {
  if (!fHidDevice) return;
  const Text id = fHidDevice->InstanceId;
  LogAdd(dlDetail, Request(u"Reset HID device:", *fHidDevice));
  DiResetDevice(id);
}

bool TqzHid::Restart() {
  if (!fHidDevice) return false;
  const Text id = fHidDevice->InstanceId;
  LogAdd(dlDetail, Request(u"Restart HID device:", *fHidDevice));
  return DiRestartDevice(id);
}

}  // namespace qz
