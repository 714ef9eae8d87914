// Setup class, description and service of a HID collection by its usage; GUID text.
#include "qzplatform/hidshared/collection_kind.h"

#include <cstdio>

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

std::u16string GuidText(const GUID& g, bool lower) {
  char text[40];
  std::snprintf(text, sizeof text,
                lower ? "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}"
                      : "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return std::u16string(text, text + 38);
}

}  // namespace qzplatform::hidshared
