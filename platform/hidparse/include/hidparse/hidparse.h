// A HID report descriptor parser that gives the answers Windows' HID parser gives:
// one preparsed data per top-level collection, and the HidP_ capability queries
// over it. Needs no system: the sim and linux grounds and the hidcaps tool use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qzplatform/hid.h"

namespace hidparse {

// Where a cap's fields lie in its report: `count` fields of `bit_size` bits from
// `first_bit`, counted from the byte after the report-ID byte. The fields of an
// array item hold indices into the item's usages in declaration order, 0 meaning
// none: index `array_origin` names the item's first data index `array_first_index`
// (1, or 0 when the first usage is 0, so that each field holds its usage's number).
struct FieldSpan {
  std::uint32_t first_bit = 0;
  std::uint16_t bit_size = 0;
  std::uint16_t count = 0;
  bool is_array = false;
  std::uint8_t array_origin = 1;
  std::uint16_t array_first_index = 0;
};

// One run of fields in HidP_GetData's walk over a report. The walk is laid out
// once per report type, in data-index order, from fields that lie inside the
// report type's length; usage value arrays, which GetData leaves out, have no step.
struct DataStep {
  enum class Kind : std::uint8_t {
    kValues,  // field k at first_bit + k * stride: data index first_index + k, its raw bits
    kBits,    // one-bit buttons: field k, when on, is first_index + k (a range) or first_index
    kArray,   // an array item: a field holding index v > 0 names first_index + v - array_origin,
              // up to last_index
  };
  Kind kind = Kind::kValues;
  std::uint8_t report_id = 0;
  bool is_range = false;
  std::uint16_t first_index = 0;
  std::uint16_t last_index = 0;
  // Bits from one value field to the next: the field size within one item; value
  // items of consecutive data indices and one size join one step, whatever their
  // order in the report (axes declared X, Y, Z are stored Z, Y, X).
  std::int32_t stride = 0;
  FieldSpan fields;
};

// What the queries read for one top-level collection.
struct PreparsedData {
  HIDP_CAPS caps{};
  std::vector<HIDP_BUTTON_CAPS> button_caps[3];  // indexed by HIDP_REPORT_TYPE
  std::vector<HIDP_VALUE_CAPS> value_caps[3];
  // The fields of each cap, parallel to button_caps and value_caps.
  std::vector<FieldSpan> button_fields[3];
  std::vector<FieldSpan> value_fields[3];
  std::vector<DataStep> data_steps[3];
  std::vector<HIDP_LINK_COLLECTION_NODE> link_collections;
  // Report IDs this collection declares per report type (0 when it uses none),
  // ascending; lets a ground route a report to the interface that owns it.
  std::vector<std::uint8_t> report_ids[3];
};

// The outcome of parsing one descriptor. On failure `collections` is empty and
// `error` names the fault and its byte offset.
struct ParseResult {
  std::vector<std::shared_ptr<const PreparsedData>> collections;
  std::string error;
  std::size_t error_offset = 0;
  bool ok() const { return error.empty(); }
};

ParseResult Parse(const std::uint8_t* descriptor, std::size_t length);
inline ParseResult Parse(const std::vector<std::uint8_t>& descriptor) {
  return Parse(descriptor.data(), descriptor.size());
}

// The HidP_ queries, with Windows' argument order, results and status codes.
// A null `data` gives HIDP_STATUS_INVALID_PREPARSED_DATA.
NTSTATUS GetCaps(const PreparsedData* data, HIDP_CAPS* caps);
NTSTATUS GetButtonCaps(HIDP_REPORT_TYPE type, HIDP_BUTTON_CAPS* caps, USHORT* length,
                       const PreparsedData* data);
NTSTATUS GetValueCaps(HIDP_REPORT_TYPE type, HIDP_VALUE_CAPS* caps, USHORT* length,
                      const PreparsedData* data);
// The caps on `usage_page` in `link_collection` whose usages include `usage`;
// 0 in any of the three matches everything.
NTSTATUS GetSpecificButtonCaps(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                               USAGE usage, HIDP_BUTTON_CAPS* caps, USHORT* length,
                               const PreparsedData* data);
NTSTATUS GetSpecificValueCaps(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                              USAGE usage, HIDP_VALUE_CAPS* caps, USHORT* length,
                              const PreparsedData* data);
NTSTATUS GetLinkCollectionNodes(HIDP_LINK_COLLECTION_NODE* nodes, ULONG* length,
                                const PreparsedData* data);

}  // namespace hidparse
