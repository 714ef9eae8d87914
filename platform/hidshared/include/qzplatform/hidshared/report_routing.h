// Which top-level collection a report belongs to, and Windows' sharing rules between
// opens of one device interface: logic every HID ground applies the same way.
#pragma once

#ifndef _WIN32

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "hidparse/hidparse.h"

namespace qzplatform::hidshared {

using Collections = std::vector<std::shared_ptr<const hidparse::PreparsedData>>;

// Whether the collection declares a report of that type and ID (0: no report IDs).
bool Declares(const hidparse::PreparsedData& collection, HIDP_REPORT_TYPE type, std::uint8_t id);
// The index of the collection that declares it; none when no collection does.
std::optional<std::size_t> CollectionOf(const Collections& collections, HIDP_REPORT_TYPE type,
                                        std::uint8_t id);
// Whether the device numbers its reports: one Report ID item anywhere makes every
// report of the device carry its ID byte.
bool UsesReportIds(const Collections& collections);
// The length of a report of that type as Windows hands it over: the collection's
// report length, report ID byte included.
USHORT ReportLength(const hidparse::PreparsedData& collection, HIDP_REPORT_TYPE type);

// Access an open asks for or holds. Only read and write take part in sharing.
struct Access {
  bool read = false;
  bool write = false;
};
// Windows' sharing rule between a new open (`want`, `share`) and one already there
// (`has`, `has_share`): each must allow what the other does.
bool SharingAllows(Access want, DWORD share, Access has, DWORD has_share);
// The access CreateFileW's desired-access mask asks for.
Access AccessOf(DWORD desired_access);

}  // namespace qzplatform::hidshared

#endif  // !_WIN32
