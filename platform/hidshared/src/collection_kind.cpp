// Setup class, description and service of a HID collection by its usage.
#include "qzplatform/hidshared/collection_kind.h"

namespace qzplatform::hidshared {

CollectionKind KindOf(USHORT page, USHORT usage) {
  if (page == 0x01 && usage == 0x02) return {kMouseClassGuid, u"HID-compliant mouse", u"mouhid"};
  if (page == 0x01 && (usage == 0x06 || usage == 0x07))
    return {kKeyboardClassGuid, u"HID Keyboard Device", u"kbdhid"};
  if (page == 0x01 && (usage == 0x04 || usage == 0x05))
    return {kHidClassGuid, u"HID-compliant game controller", u""};
  if (page == 0x01 && usage == 0x80)
    return {kHidClassGuid, u"HID-compliant system controller", u""};
  if (page == 0x0C && usage == 0x01)
    return {kHidClassGuid, u"HID-compliant consumer control device", u""};
  if (page >= 0xFF00) return {kHidClassGuid, u"HID-compliant vendor-defined device", u""};
  return {kHidClassGuid, u"HID-compliant device", u""};
}

}  // namespace qzplatform::hidshared
