// A report descriptor item by item: its bytes, then its name and value, indented by
// collection depth.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qzhid {

// One line per item ("05 01          Usage Page (Generic)"); a truncated last item gets
// a line saying so.
std::string DescribeItems(const std::vector<std::uint8_t>& descriptor);

}  // namespace qzhid
