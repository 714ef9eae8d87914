// The parameters of a device state change as the class installer takes them: one
// definition for the library and the device helper, which must ask for the same change.
#pragma once

#include "qzplatform/setupapi.h"

namespace x64stub {

inline SP_PROPCHANGE_PARAMS PropertyChangeParams(DWORD state, DWORD scope) {
  SP_PROPCHANGE_PARAMS params{};
  params.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
  params.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
  params.StateChange = state;
  params.Scope = scope;
  params.HwProfile = 0;
  return params;
}

}  // namespace x64stub
