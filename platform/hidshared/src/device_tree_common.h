// Helpers the tree modules share: the active ground's tree, case-insensitive IDs,
// REG_SZ bytes.
#pragma once

#include <cstring>

#include "qzplatform/hidshared/device_tree.h"

namespace qzplatform::hidshared {

std::shared_ptr<DeviceTree> ActiveTree();
std::u16string LowerId(std::u16string_view id);
bool SameId(std::u16string_view a, std::u16string_view b);
bool SameGuidValue(const GUID& a, const GUID& b);
// A text as a REG_SZ value: UTF-16 with its terminator.
std::vector<BYTE> RegSz(const std::u16string& text);

}  // namespace qzplatform::hidshared
