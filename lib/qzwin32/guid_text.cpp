// A GUID in registry form.
#include "qzwin32/qzwin32.h"

#include "qzplatform/ascii_text.h"

namespace qz {

Text GuidToText(const GUID& guid) { return qzplatform::GuidText(guid); }

}  // namespace qz
