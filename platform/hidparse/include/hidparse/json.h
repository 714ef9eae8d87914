// JSON form of preparsed data (the output of `hidcaps --json`): HIDP_CAPS, the six
// cap arrays and the link collection nodes, every field under its Windows name.
#pragma once

#include <nlohmann/json.hpp>

#include "hidparse/hidparse.h"

namespace hidparse {

// {"caps": {...}, "button_caps": {"input": [...], "output": [...], "feature": [...]},
//  "value_caps": {...}, "link_collections": [...]}. Reserved fields are left out;
// a cap carries "Range" when IsRange is true and "NotRange" otherwise.
nlohmann::ordered_json CapsToJson(const PreparsedData& data);

}  // namespace hidparse
