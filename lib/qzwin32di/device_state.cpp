// Property changes, removal and reset of one device instance; the helper takes over a
// property change that the system refuses to a 32-bit process on 64-bit Windows.
#include "qzwin32di/device_state.h"

#include "qzclasses/errors.h"
#include "qzclasses/format.h"
#include "qzsysutils/qzsysutils.h"
#include "qzwin32/qzwin32.h"
#include "qzwin32di/setupapi_binding.h"
#include "x64stub/property_change.h"

namespace qz {
namespace {

constexpr DWORD kInvalidInstanceName = 0xE0000205u;  // ERROR_INVALID_DEVINST_NAME

// An empty device information set of its own.
HDEVINFO NewInfoSet() { return SetupApi().SetupDiCreateDeviceInfoList(nullptr, GetOwnerWindow()); }

// The system takes an empty ID as the root of the device tree and reads one up to its
// first NUL (a longer one would name another device): neither may reach it.
bool NamesOneDevice(const Text& instanceId) {
  return !instanceId.empty() && instanceId.find(u'\0') == Text::npos;
}

// Adds the device to `set`; on failure `error` gets the reason.
bool OpenDevice(const InfoSet& set, const Text& instanceId, SP_DEVINFO_DATA& info, DWORD& error) {
  info = SP_DEVINFO_DATA{};
  info.cbSize = sizeof info;
  const auto open = SetupApi().SetupDiOpenDeviceInfoW;
  if (!open) {
    error = ERROR_PROC_NOT_FOUND;
    return false;
  }
  if (open(set.get(), qzplatform::AsWide(instanceId), GetOwnerWindow(), 0, &info)) return true;
  error = GetLastError();
  return false;
}

// Sets the property-change parameters and calls the class installer with them.
bool PropertyChange(const InfoSet& set, SP_DEVINFO_DATA& info, DWORD state, DWORD scope) {
  SP_PROPCHANGE_PARAMS params = x64stub::PropertyChangeParams(state, scope);
  const SetupApiEntries& api = SetupApi();
  return api.SetupDiSetClassInstallParamsW(set.get(), &info, &params.ClassInstallHeader,
                                           sizeof params) &&
         api.SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set.get(), &info);
}

// The helper's parameters: the quoted instance ID, the state code and the quoted class
// GUID. False for an ID that no command line can carry.
bool HelperParameters(const Text& instanceId, DWORD state, const GUID& classGuid, Text* text) {
  Text id;
  if (!QuoteArgument(instanceId, &id)) return false;
  *text = id + u" " + Format(u"%u", {state}) + u" \"" + GuidToText(classGuid) + u"\"";
  return true;
}

// Opens the device and removes it; with `bringBack` waits 1000 ms and brings it back.
bool Remove(const Text& instanceId, bool bringBack) {
  if (!NamesOneDevice(instanceId)) {
    SetLastError(kInvalidInstanceName);
    return false;
  }
  if (!LoadSetupApi()) return false;
  const SetupApiEntries& api = SetupApi();
  InfoSet set(NewInfoSet());
  if (!set.valid()) return false;
  SP_DEVINFO_DATA info;
  DWORD error = 0;
  if (!OpenDevice(set, instanceId, info, error)) return false;
  if (!api.SetupDiRemoveDevice || !api.SetupDiRemoveDevice(set.get(), &info)) return false;
  if (!bringBack) return true;
  Sleep(1000);
  return api.SetupDiUnremoveDevice && api.SetupDiUnremoveDevice(set.get(), &info);
}

}  // namespace

bool DiChangeDeviceState(const Text& instanceId, DWORD stateCode) {
  if (!NamesOneDevice(instanceId)) throw Error(Format(u"%x", {kInvalidInstanceName}));
  if (!LoadSetupApi()) return false;
  InfoSet set(NewInfoSet());
  if (!set.valid()) return false;
  SP_DEVINFO_DATA info;
  DWORD error = 0;
  if (!OpenDevice(set, instanceId, info, error)) throw Error(Format(u"%x", {error}));

  if (stateCode == DICS_ENABLE) PropertyChange(set, info, DICS_ENABLE, DICS_FLAG_GLOBAL);
  bool result = PropertyChange(set, info, stateCode, DICS_FLAG_CONFIGSPECIFIC);
  if (!result && GetLastError() == ERROR_IN_WOW64) {
    Text parameters;
    result = HelperParameters(instanceId, stateCode, info.ClassGuid, &parameters) &&
             DiRunX64Stub(parameters);
  }
  return result;
}

bool DiEnableDevice(const Text& instanceId) { return DiChangeDeviceState(instanceId, DICS_ENABLE); }

bool DiDisableDevice(const Text& instanceId) {
  return DiChangeDeviceState(instanceId, DICS_DISABLE);
}

bool DiRestartDevice(const Text& instanceId) {
  return DiChangeDeviceState(instanceId, DICS_PROPCHANGE);
}

bool DiRemoveDevice(const Text& instanceId) { return Remove(instanceId, false); }

bool DiResetDevice(const Text& instanceId) { return Remove(instanceId, true); }

}  // namespace qz
