// The HID component's construction and destruction.
#include "qzhid/hid.h"

namespace qz {

TqzHid::TqzHid(Component* owner) : TqzBaseIO(owner) { sLogPrefix = u"qzHID: "; }

TqzHid::~TqzHid() = default;

}  // namespace qz
