// Helpers shared by the hidparse tests: descriptors from hex, field-by-field cap
// comparison that names the descriptor and the entry, and a parse that must work.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hidparse/hidparse.h"

namespace hidparse_test {

// Hex text as hidcaps reads it ("05 01, 0x09 02 # comment").
std::vector<std::uint8_t> Bytes(const std::string& hex);

// Parses `hex`; fails the test (with the error) unless it parses.
hidparse::ParseResult ParseOk(const std::string& hex);

// The one collection of a single-collection descriptor.
const hidparse::PreparsedData& Only(const hidparse::ParseResult& result);

// Compare every field Windows fills, reporting the field name on a mismatch.
void ExpectValueCaps(const HIDP_VALUE_CAPS& actual, const HIDP_VALUE_CAPS& expected);
void ExpectButtonCaps(const HIDP_BUTTON_CAPS& actual, const HIDP_BUTTON_CAPS& expected);
void ExpectNode(const HIDP_LINK_COLLECTION_NODE& actual,
                const HIDP_LINK_COLLECTION_NODE& expected);

// Compares whole arrays, tracing the descriptor dump and the index of each entry.
void ExpectValueCapsList(const hidparse::PreparsedData& data, HIDP_REPORT_TYPE type,
                         const std::vector<HIDP_VALUE_CAPS>& expected);
void ExpectButtonCapsList(const hidparse::PreparsedData& data, HIDP_REPORT_TYPE type,
                          const std::vector<HIDP_BUTTON_CAPS>& expected);

// A cap's usage / data-index range, the way Windows stores even single usages.
HIDP_CAPS_RANGE Usages(USAGE min, USAGE max, USHORT index_min, USHORT index_max);

}  // namespace hidparse_test
