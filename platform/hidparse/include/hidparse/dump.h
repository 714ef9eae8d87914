// Readable text form of preparsed data: what the HidP_ queries report, field by
// field under Windows' names. Used by hidcaps, by traces and by test failures.
#pragma once

#include <string>

#include "hidparse/hidparse.h"

namespace hidparse {

// One top-level collection: HIDP_CAPS, report IDs, link collection nodes and the
// six cap arrays, as HidP_GetCaps/GetLinkCollectionNodes/Get*Caps return them.
std::string DumpCaps(const PreparsedData& data);

// Every top-level collection of a parse, each headed "Top-level collection i of n";
// a failed parse gives its error.
std::string DumpCaps(const ParseResult& result);

}  // namespace hidparse
