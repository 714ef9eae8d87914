// What the parser gathers for one top-level collection before it is laid out as
// preparsed data: link nodes, stored caps per report type, data index counters.
#pragma once

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

#include "hidparse/hidparse.h"
#include "parser_state.h"
#include "qzplatform/hid.h"

namespace hidparse::detail {

inline constexpr std::size_t kMaxRecords = 0xFFFF;  // 16-bit counts in HIDP_CAPS

// One stored capability. HIDP_VALUE_CAPS holds every field a button cap has too.
struct CapRecord {
  bool is_button = false;
  HIDP_VALUE_CAPS caps{};
  FieldSpan fields;
};

struct TopLevelBuild {
  std::size_t offset = 0;  // of its Collection item
  std::vector<HIDP_LINK_COLLECTION_NODE> nodes;
  std::vector<CapRecord> caps[3];  // stored order, per HIDP_REPORT_TYPE
  std::uint32_t data_indices[3] = {};
  std::bitset<256> report_ids[3];  // bit 0: reports without an ID
  std::vector<std::uint16_t> open;  // node indices of the open collections
};

// Collection item: adds the link node(s) and opens the collection. The first
// Collection of a top-level collection becomes node 0.
bool OpenCollection(TopLevelBuild& tlc, const LocalState& locals, std::uint16_t usage_page,
                    std::uint8_t collection_type, std::string& error);

// End Collection item. Returns false when nothing is open.
bool CloseCollection(TopLevelBuild& tlc);

// The main item being turned into caps.
struct DataItem {
  HIDP_REPORT_TYPE type = HidP_Input;
  std::uint32_t data = 0;  // the main item's raw flags
  std::uint64_t first_bit = 0;  // where its fields start, after the report-ID byte
  const GlobalState* globals = nullptr;
};

// Input, Output or Feature item: appends its caps in Windows' stored order and
// assigns their data indices. Fails when a 16-bit count would overflow.
bool AddDataItemCaps(TopLevelBuild& tlc, const DataItem& item, const LocalState& locals,
                     std::string& error);

// Bits declared so far per report type and report ID, across the descriptor.
struct ReportBits {
  std::uint64_t bits[3][256] = {};
};

// Turns a finished top-level collection into the preparsed data the queries read.
PreparsedData LayOut(const TopLevelBuild& tlc, const ReportBits& reports);

}  // namespace hidparse::detail
