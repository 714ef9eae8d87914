// Local items: usages, string and designator indices, and delimiter sets. They
// describe the next main item only and are cleared after it.
#include <string>

#include "parser_state.h"

namespace hidparse::detail {

namespace {

enum LocalTag : std::uint8_t {
  kUsage = 0x0,
  kUsageMinimum = 0x1,
  kUsageMaximum = 0x2,
  kDesignatorIndex = 0x3,
  kDesignatorMinimum = 0x4,
  kDesignatorMaximum = 0x5,
  kStringIndex = 0x7,
  kStringMinimum = 0x8,
  kStringMaximum = 0x9,
  kDelimiter = 0xA,
};

// A 4-byte usage is extended: its high word is its own usage page. Shorter ones
// take the Usage Page in effect when they are declared.
std::uint16_t UsagePageOf(std::uint32_t value, std::uint8_t size, std::uint16_t usage_page) {
  return size == 4 ? static_cast<std::uint16_t>(value >> 16) : usage_page;
}

std::uint32_t NextSlot(LocalState& locals) {
  if (!locals.in_delimiter) return locals.slot_count++;
  // All usages of one delimiter set name the same control.
  if (!locals.delimiter_has_usage) {
    locals.delimiter_has_usage = true;
    return locals.slot_count++;
  }
  return locals.slot_count - 1;
}

bool AddUsageRange(LocalState& locals, std::uint16_t usage_page, std::string& error) {
  PendingPair& pair = locals.usage_range;
  const std::uint16_t min_page = UsagePageOf(pair.min, pair.min_size, usage_page);
  const std::uint16_t max_page = UsagePageOf(pair.max, pair.max_size, usage_page);
  if (min_page != max_page) {
    error = "Usage Minimum and Usage Maximum are on different usage pages";
    return false;
  }
  UsageEntry entry;
  entry.page = min_page;
  entry.min = static_cast<std::uint16_t>(pair.min);
  entry.max = static_cast<std::uint16_t>(pair.max);
  entry.is_range = true;
  if (entry.max < entry.min) {
    error = "Usage Maximum " + std::to_string(entry.max) + " is below Usage Minimum " +
            std::to_string(entry.min);
    return false;
  }
  entry.slot = NextSlot(locals);
  locals.usages.push_back(entry);
  pair = PendingPair{};
  return true;
}

// Pairs a String or Designator Minimum/Maximum once both halves are known.
bool SetIndexHalf(PendingPair& pair, std::vector<IndexEntry>& list, bool is_min,
                  std::uint32_t value, const char* name, std::string& error) {
  if (is_min) {
    pair.has_min = true;
    pair.min = value;
  } else {
    pair.has_max = true;
    pair.max = value;
  }
  if (!pair.has_min || !pair.has_max) return true;
  if (pair.max < pair.min) {
    error = std::string(name) + " Maximum is below its Minimum";
    return false;
  }
  list.push_back(IndexEntry{static_cast<std::uint16_t>(pair.min),
                            static_cast<std::uint16_t>(pair.max), true});
  pair = PendingPair{};
  return true;
}

bool SetUsageHalf(const Item& item, bool is_min, std::uint16_t usage_page, LocalState& locals,
                  std::string& error) {
  if (locals.in_delimiter) {
    // Windows allows aliases only for single usages, never for ranges.
    error = "Usage Minimum/Maximum inside a delimiter set";
    return false;
  }
  PendingPair& pair = locals.usage_range;
  if (is_min) {
    pair.has_min = true;
    pair.min = UnsignedValue(item);
    pair.min_size = item.size;
  } else {
    pair.has_max = true;
    pair.max = UnsignedValue(item);
    pair.max_size = item.size;
  }
  return !(pair.has_min && pair.has_max) || AddUsageRange(locals, usage_page, error);
}

bool ApplyDelimiter(const Item& item, LocalState& locals, std::string& error) {
  switch (UnsignedValue(item)) {
    case 1:
      if (locals.in_delimiter) {
        error = "Delimiter(Open) inside an open delimiter set";
        return false;
      }
      locals.in_delimiter = true;
      locals.delimiter_has_usage = false;
      return true;
    case 0:
      if (!locals.in_delimiter) {
        error = "Delimiter(Close) without Delimiter(Open)";
        return false;
      }
      locals.in_delimiter = false;
      return true;
    default:
      error = "Delimiter value " + std::to_string(UnsignedValue(item)) + " is neither 0 nor 1";
      return false;
  }
}

}  // namespace

bool ApplyLocalItem(const Item& item, std::uint16_t usage_page, LocalState& locals,
                    std::string& error) {
  const std::uint32_t value = UnsignedValue(item);
  switch (item.tag) {
    case kUsage: {
      UsageEntry entry;
      entry.page = UsagePageOf(value, item.size, usage_page);
      entry.min = entry.max = static_cast<std::uint16_t>(value);
      entry.slot = NextSlot(locals);
      locals.usages.push_back(entry);
      return true;
    }
    case kUsageMinimum: return SetUsageHalf(item, true, usage_page, locals, error);
    case kUsageMaximum: return SetUsageHalf(item, false, usage_page, locals, error);
    case kDesignatorIndex:
      locals.designators.push_back(IndexEntry{static_cast<std::uint16_t>(value),
                                              static_cast<std::uint16_t>(value), false});
      return true;
    case kDesignatorMinimum:
    case kDesignatorMaximum:
      return SetIndexHalf(locals.designator_range, locals.designators,
                          item.tag == kDesignatorMinimum, value, "Designator", error);
    case kStringIndex:
      locals.strings.push_back(IndexEntry{static_cast<std::uint16_t>(value),
                                          static_cast<std::uint16_t>(value), false});
      return true;
    case kStringMinimum:
    case kStringMaximum:
      return SetIndexHalf(locals.string_range, locals.strings, item.tag == kStringMinimum, value,
                          "String", error);
    case kDelimiter: return ApplyDelimiter(item, locals, error);
    default:
      error = "unknown local item tag " + std::to_string(item.tag);
      return false;
  }
}

void ClearLocalItems(LocalState& locals) {
  locals.usages.clear();
  locals.strings.clear();
  locals.designators.clear();
  locals.slot_count = 0;
  locals.usage_range = PendingPair{};
  locals.string_range = PendingPair{};
  locals.designator_range = PendingPair{};
  locals.in_delimiter = false;
  locals.delimiter_has_usage = false;
}

bool CheckLocalsComplete(const LocalState& locals, std::string& error) {
  if (locals.in_delimiter) {
    error = "delimiter set not closed before the main item";
    return false;
  }
  const struct {
    const PendingPair& pair;
    const char* name;
  } pairs[] = {{locals.usage_range, "Usage"},
               {locals.string_range, "String"},
               {locals.designator_range, "Designator"}};
  for (const auto& [pair, name] : pairs) {
    if (pair.has_min != pair.has_max) {
      error = std::string(name) + (pair.has_min ? " Minimum without a Maximum"
                                                : " Maximum without a Minimum");
      return false;
    }
  }
  return true;
}

}  // namespace hidparse::detail
