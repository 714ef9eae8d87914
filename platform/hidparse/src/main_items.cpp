// Input, Output and Feature items become capabilities: one per usage (or usage
// range) the item needs, stored and numbered the way Windows does it.
#include <algorithm>
#include <string>

#include "top_level_build.h"

namespace hidparse::detail {

namespace {

constexpr std::uint32_t kConstant = 0x01;
constexpr std::uint32_t kVariable = 0x02;
constexpr std::uint32_t kRelative = 0x04;
constexpr std::uint32_t kNullState = 0x40;
// BitField keeps the nine defined flag bits (Buffered Bytes is bit 8).
constexpr std::uint32_t kBitFieldMask = 0x1FF;

std::uint32_t IndexCount(const UsageEntry& entry) {
  return std::uint32_t{entry.max} - entry.min + 1;
}

// The k-th string or designator entry goes with the k-th usage; the last one
// also covers any usages after it.
IndexEntry IndexFor(const std::vector<IndexEntry>& list, std::size_t k) {
  if (list.empty()) return IndexEntry{};
  return list[std::min(k, list.size() - 1)];
}

class CapWriter {
 public:
  CapWriter(TopLevelBuild& tlc, const DataItem& item, const LocalState& locals)
      : tlc_(tlc), item_(item), locals_(locals) {}

  // Reserves `count` data indices; false when the 16-bit counter would overflow.
  bool ReserveIndices(std::uint32_t count, std::uint32_t* first, std::string& error) {
    std::uint32_t& next = tlc_.data_indices[item_.type];
    if (count > kMaxRecords - next) {
      error = "more than " + std::to_string(kMaxRecords) + " data indices in one report type";
      return false;
    }
    *first = next;
    next += count;
    return true;
  }

  // The span of `count` fields from field `first_field` of this item.
  FieldSpan Span(std::uint32_t first_field, std::uint32_t count) const {
    FieldSpan span;
    const std::uint32_t size = item_.globals->report_size;
    const std::uint64_t first_bit = item_.first_bit + std::uint64_t{first_field} * size;
    span.first_bit = static_cast<std::uint32_t>(first_bit);
    span.bit_size = static_cast<std::uint16_t>(size);
    span.count = static_cast<std::uint16_t>(count);
    return span;
  }

  bool Add(const UsageEntry& entry, std::size_t index_slot, std::uint32_t first_index,
           bool is_alias, std::uint16_t report_count, const FieldSpan& fields,
           std::string& error) {
    std::vector<CapRecord>& records = tlc_.caps[item_.type];
    if (records.size() >= kMaxRecords) {
      error = "more than " + std::to_string(kMaxRecords) + " capabilities in one report type";
      return false;
    }
    const GlobalState& g = *item_.globals;
    const std::uint16_t link = tlc_.open.back();
    const HIDP_LINK_COLLECTION_NODE& node = tlc_.nodes[link];

    CapRecord record;
    record.is_button = g.report_size == 1 || (item_.data & kVariable) == 0;
    HIDP_VALUE_CAPS& c = record.caps;
    c.UsagePage = entry.page;
    c.ReportID = g.report_id;
    c.IsAlias = is_alias;
    c.BitField = static_cast<USHORT>(item_.data & kBitFieldMask);
    c.LinkCollection = link;
    c.LinkUsage = node.LinkUsage;
    c.LinkUsagePage = node.LinkUsagePage;
    c.IsRange = entry.is_range;
    c.IsAbsolute = (item_.data & kRelative) == 0;
    c.HasNull = (item_.data & kNullState) != 0;
    c.BitSize = static_cast<USHORT>(g.report_size);
    c.ReportCount = report_count;
    c.UnitsExp = g.unit_exponent;
    c.Units = g.unit;
    c.LogicalMin = g.logical_min;
    c.LogicalMax = g.logical_max;
    c.PhysicalMin = g.physical_min;
    c.PhysicalMax = g.physical_max;

    // Windows stores every cap as a range; a single usage is a one-element range,
    // so NotRange's reserved words repeat its usage, index and data index.
    const IndexEntry string = IndexFor(locals_.strings, index_slot);
    const IndexEntry designator = IndexFor(locals_.designators, index_slot);
    c.IsStringRange = string.is_range;
    c.IsDesignatorRange = designator.is_range;
    c.Range.UsageMin = entry.min;
    c.Range.UsageMax = entry.max;
    c.Range.StringMin = string.min;
    c.Range.StringMax = string.max;
    c.Range.DesignatorMin = designator.min;
    c.Range.DesignatorMax = designator.max;
    c.Range.DataIndexMin = static_cast<USHORT>(first_index);
    c.Range.DataIndexMax = static_cast<USHORT>(first_index + IndexCount(entry) - 1);
    record.fields = fields;
    records.push_back(record);
    return true;
  }

 private:
  TopLevelBuild& tlc_;
  const DataItem& item_;
  const LocalState& locals_;
};

// Windows gives a constant field declared with usage 0 no cap, no count and no
// data index; its fields still take their bits in the report.
bool IsReservedOnly(const DataItem& item, const UsageEntry& entry) {
  return (item.data & kConstant) != 0 && !entry.is_range && entry.min == 0;
}

// Variable item: Windows uses the fewest usages, in declaration order, that give
// every field one; the last of them takes any fields left over, and the rest are
// discarded. Caps are stored last-declared first (Y before X) and their data
// indices follow that stored order. Slots are numbered from 0 in declaration
// order, so an entry's slot is also its position among the slots.
bool AddVariableCaps(CapWriter& writer, const DataItem& item, const LocalState& locals,
                     std::uint32_t field_count, std::string& error) {
  const std::vector<UsageEntry>& usages = locals.usages;
  std::size_t end = 0;  // one past the last entry of the last slot taken
  std::uint32_t covered = 0;
  while (end < usages.size() && covered < field_count) {
    covered += usages[end].is_range ? IndexCount(usages[end]) : 1;
    const std::uint32_t slot = usages[end].slot;
    while (end < usages.size() && usages[end].slot == slot) ++end;
  }
  const std::uint32_t left_over = field_count > covered ? field_count - covered : 0;
  const std::uint32_t last_slot = end > 0 ? usages[end - 1].slot : 0;
  // The first field of each entry taken: fields follow declaration order, one per
  // usage of a range, one per slot otherwise (aliases name the same field).
  std::vector<std::uint32_t> first_field(end);
  for (std::size_t e = 1; e < end; ++e) {
    const UsageEntry& before = usages[e - 1];
    const bool same_slot = before.slot == usages[e].slot;
    const std::uint32_t taken = before.is_range ? IndexCount(before) : 1;
    first_field[e] = first_field[e - 1] + (same_slot ? 0 : taken);
  }

  for (std::size_t e = end; e-- > 0;) {
    const UsageEntry& entry = usages[e];
    if (IsReservedOnly(item, entry)) continue;
    // Every usage of a delimiter set but the first declared (the preferred one).
    const bool is_alias = e > 0 && usages[e - 1].slot == entry.slot;
    // A range cap counts one field per usage; a single usage over several
    // fields is a usage value array whose ReportCount is its field count.
    const std::uint32_t report_count =
        entry.is_range ? 1 : 1 + (entry.slot == last_slot ? left_over : 0);
    // A range with more usages than fields left names only the fields there are.
    const std::uint32_t fields_left = field_count - first_field[e];
    const std::uint32_t fields = std::min(entry.is_range ? IndexCount(entry) : report_count,
                                          fields_left);
    std::uint32_t first_index = 0;
    if (!writer.ReserveIndices(IndexCount(entry), &first_index, error) ||
        !writer.Add(entry, entry.slot, first_index, is_alias,
                    static_cast<std::uint16_t>(report_count),
                    writer.Span(first_field[e], fields), error)) {
      return false;
    }
  }
  return true;
}

// Array item: every usage is kept. Caps are stored in reverse declaration order
// but data indices run in declaration order.
bool AddArrayCaps(CapWriter& writer, const LocalState& locals, std::uint32_t field_count,
                  std::string& error) {
  std::uint64_t total = 0;
  for (const UsageEntry& entry : locals.usages) total += IndexCount(entry);
  std::uint32_t next_index = 0;
  if (total > kMaxRecords || !writer.ReserveIndices(static_cast<std::uint32_t>(total),
                                                    &next_index, error)) {
    error = "more than " + std::to_string(kMaxRecords) + " data indices in one report type";
    return false;
  }
  FieldSpan fields = writer.Span(0, field_count);
  fields.is_array = true;
  // Index 1 names the first usage declared, unless that usage is 0: usage 0
  // means "no control" in every page, and a list that starts at it (keyboards'
  // 0-101, consumer controls' 0-0x3FF) holds each usage as its own number,
  // index 0 still meaning none.
  fields.array_origin = locals.usages.front().min == 0 ? 0 : 1;
  fields.array_first_index = static_cast<std::uint16_t>(next_index);
  next_index += static_cast<std::uint32_t>(total);
  for (std::size_t i = locals.usages.size(); i-- > 0;) {
    next_index -= IndexCount(locals.usages[i]);
    if (!writer.Add(locals.usages[i], i, next_index, false,
                    static_cast<std::uint16_t>(field_count), fields, error)) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool AddDataItemCaps(TopLevelBuild& tlc, const DataItem& item, const LocalState& locals,
                     std::string& error) {
  const std::uint32_t field_count = item.globals->report_count;
  // Padding (no usage) and empty items (Report Count 0) give no capability.
  if (field_count == 0 || locals.usages.empty()) return true;
  // Windows gives a constant array no cap and no data index, whatever its usages.
  if ((item.data & (kConstant | kVariable)) == kConstant) return true;
  CapWriter writer(tlc, item, locals);
  if (item.data & kVariable) return AddVariableCaps(writer, item, locals, field_count, error);
  return AddArrayCaps(writer, locals, field_count, error);
}

}  // namespace hidparse::detail
