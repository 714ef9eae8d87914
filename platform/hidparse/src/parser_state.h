// The parser's working state: global items (with their Push/Pop stack) and the
// local items gathered for the next main item.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hidparse/item_reader.h"

namespace hidparse::detail {

// Limits that keep memory and time bounded on hostile input. Each matches a
// 16-bit field of the Windows records or is far beyond any real device.
inline constexpr std::uint32_t kMaxReportSize = 0xFFFF;   // HIDP_VALUE_CAPS.BitSize
inline constexpr std::uint32_t kMaxReportCount = 0xFFFF;  // HIDP_*_CAPS.ReportCount
inline constexpr std::size_t kMaxPushDepth = 256;
// Each top-level collection that carries reports needs a report ID of its own, so no real
// device has more than 255 of them; each one costs its own preparsed data.
inline constexpr std::size_t kMaxTopLevelCollections = 1024;

struct GlobalState {
  std::uint16_t usage_page = 0;
  std::int32_t logical_min = 0;
  std::int32_t logical_max = 0;
  std::int32_t physical_min = 0;
  std::int32_t physical_max = 0;
  std::uint32_t unit_exponent = 0;  // as the item gave it, sign-extended
  std::uint32_t unit = 0;
  std::uint32_t report_size = 0;
  std::uint32_t report_count = 0;
  std::uint8_t report_id = 0;  // 0: no Report ID item in effect
};

struct GlobalStack {
  GlobalState current;
  std::vector<GlobalState> pushed;
};

// One usage, or a Usage Minimum/Maximum pair, with the page it resolved to.
struct UsageEntry {
  std::uint16_t page = 0;
  std::uint16_t min = 0;
  std::uint16_t max = 0;
  bool is_range = false;
  // Usages declared between Delimiter(Open) and Delimiter(Close) name one
  // control: they share a slot. Ordinary usages each have a slot of their own.
  std::uint32_t slot = 0;
};

// A String or Designator Index, or a Minimum/Maximum pair.
struct IndexEntry {
  std::uint16_t min = 0;
  std::uint16_t max = 0;
  bool is_range = false;
};

// Half of a Minimum/Maximum pair waits here until its partner arrives.
struct PendingPair {
  bool has_min = false;
  bool has_max = false;
  std::uint32_t min = 0;
  std::uint32_t max = 0;
  std::uint8_t min_size = 0;  // item data size, 4 meaning an extended usage
  std::uint8_t max_size = 0;
};

struct LocalState {
  std::vector<UsageEntry> usages;  // declaration order
  std::uint32_t slot_count = 0;
  std::vector<IndexEntry> strings;
  std::vector<IndexEntry> designators;
  PendingPair usage_range;
  PendingPair string_range;
  PendingPair designator_range;
  bool in_delimiter = false;
  bool delimiter_has_usage = false;
};

// Global item (HID 1.11 6.2.2.7). Returns false and sets `error` on a fault.
bool ApplyGlobalItem(const Item& item, GlobalStack& globals, std::string& error);

// Local item (HID 1.11 6.2.2.8). `usage_page` resolves non-extended usages.
bool ApplyLocalItem(const Item& item, std::uint16_t usage_page, LocalState& locals,
                    std::string& error);

// Checks that every Minimum has its Maximum and the delimiter set is closed,
// which a main item needs before it can use the local items.
bool CheckLocalsComplete(const LocalState& locals, std::string& error);

// Forgets the local items after a main item, keeping the lists' capacity.
void ClearLocalItems(LocalState& locals);

}  // namespace hidparse::detail
