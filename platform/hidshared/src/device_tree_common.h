// Helpers the tree modules share: the active ground's tree, case-insensitive IDs,
// registry texts.
#pragma once

#include <cstddef>
#include <cstring>

#include "qzplatform/hidshared/device_tree.h"

namespace qzplatform::hidshared {

std::shared_ptr<DeviceTree> ActiveTree();
std::u16string LowerId(std::u16string_view id);
bool SameId(std::u16string_view a, std::u16string_view b);
bool SameGuidValue(const GUID& a, const GUID& b);
// Texts as a REG_MULTI_SZ value: each with its terminator, then the list's own.
std::vector<BYTE> RegMultiSz(const std::vector<std::u16string>& texts);
// The enumerator: an instance ID's first part.
std::u16string_view EnumeratorOf(std::u16string_view instance_id);
// The configuration manager's entries, which "SetupAPI.dll" exports too.
std::vector<Module::Entry> CfgMgrEntries();

}  // namespace qzplatform::hidshared
