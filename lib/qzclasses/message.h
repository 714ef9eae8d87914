// A window message as the owner window forwards it to a component.
#pragma once

#include "qzplatform/win32.h"

namespace qz {

struct Message {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

}  // namespace qz
