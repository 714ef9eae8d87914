// hidparse::Parse: reads the descriptor item by item, dispatches main, global and
// local items, splits it into top-level collections and lays each one out. The
// result is built in local state and handed out only when the whole descriptor
// parsed, so a fault leaves nothing half-built.
#include <algorithm>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "hidparse/hidparse.h"
#include "hidparse/item_reader.h"
#include "parser_state.h"
#include "qzplatform/ascii_text.h"
#include "top_level_build.h"

namespace hidparse {

namespace detail {
namespace {

enum MainTag : std::uint8_t {
  kInput = 0x8,
  kOutput = 0x9,
  kCollection = 0xA,
  kFeature = 0xB,
  kEndCollection = 0xC,
};

constexpr std::uint32_t kBufferedBytes = 0x100;
// Longest report: its byte length, report-ID byte included, is a 16-bit field.
constexpr std::uint64_t kMaxReportBits = (0xFFFFull - 1) * 8;

const char* MainItemName(std::uint8_t tag) {
  switch (tag) {
    case kInput: return "Input";
    case kOutput: return "Output";
    case kFeature: return "Feature";
    case kCollection: return "Collection";
    case kEndCollection: return "End Collection";
    default: return "main item";
  }
}

std::string Hex(std::uint32_t value, int digits) {
  return "0x" + qzplatform::HexText(value, digits);
}

class Parser {
 public:
  ParseResult Run(const std::uint8_t* descriptor, std::size_t length);

 private:
  bool Step(const Item& item);
  bool HandleMain(const Item& item);
  bool HandleDataItem(const Item& item, HIDP_REPORT_TYPE type);
  bool HandleCollection(const Item& item);
  bool HandleEndCollection(const Item& item);
  bool CheckReportOwner(const Item& item, std::uint8_t id);
  bool Finish(std::size_t end);
  bool Fail(std::size_t offset, std::string message);
  bool FailItem(const Item& item, const std::string& message);

  GlobalStack globals_;
  LocalState locals_;
  std::vector<TopLevelBuild> collections_;
  bool in_collection_ = false;
  ReportBits reports_;
  int report_owner_[256];  // top-level collection index per report ID, -1 if unused
  bool uses_report_ids_ = false;
  std::optional<std::size_t> first_unnumbered_item_;
  std::string error_;
  std::size_t error_offset_ = 0;
};

ParseResult Parser::Run(const std::uint8_t* descriptor, std::size_t length) {
  std::fill(std::begin(report_owner_), std::end(report_owner_), -1);
  ItemReader reader(descriptor, length);
  Item item;
  bool ok = true;
  for (;;) {
    const ReadStatus status = reader.Next(&item);
    if (status == ReadStatus::kEnd) {
      ok = Finish(reader.length());
      break;
    }
    if (status == ReadStatus::kTruncated) {
      ok = Fail(item.offset, "item " + Hex(item.prefix, 2) + " is truncated: it needs " +
                                 std::to_string(item.length) + " bytes, " +
                                 std::to_string(reader.length() - item.offset) + " remain");
      break;
    }
    if (!Step(item)) {
      ok = false;
      break;
    }
  }

  ParseResult result;
  if (!ok) {
    result.error = "byte offset " + std::to_string(error_offset_) + ": " + error_;
    result.error_offset = error_offset_;
    return result;
  }
  for (const TopLevelBuild& tlc : collections_) {
    result.collections.push_back(std::make_shared<const PreparsedData>(LayOut(tlc, reports_)));
  }
  return result;
}

bool Parser::Step(const Item& item) {
  std::string error;
  switch (item.type) {
    case ItemType::kMain: return HandleMain(item);
    case ItemType::kGlobal:
      return ApplyGlobalItem(item, globals_, error) || FailItem(item, error);
    case ItemType::kLocal:
      return ApplyLocalItem(item, globals_.current.usage_page, locals_, error) ||
             FailItem(item, error);
    case ItemType::kLong:
      return true;  // no long item is defined; HID 1.11 says to skip them
    case ItemType::kReserved:
    default:
      return FailItem(item, "reserved item type");
  }
}

bool Parser::HandleMain(const Item& item) {
  switch (item.tag) {
    case kInput: return HandleDataItem(item, HidP_Input);
    case kOutput: return HandleDataItem(item, HidP_Output);
    case kFeature: return HandleDataItem(item, HidP_Feature);
    case kCollection: return HandleCollection(item);
    case kEndCollection: return HandleEndCollection(item);
    default: return FailItem(item, "unknown main item tag " + std::to_string(item.tag));
  }
}

bool Parser::HandleDataItem(const Item& item, HIDP_REPORT_TYPE type) {
  std::string error;
  if (!CheckLocalsComplete(locals_, error)) return FailItem(item, error);
  if (!in_collection_) {
    // Every report belongs to a top-level collection; Windows has nowhere to put it.
    return FailItem(item, std::string(MainItemName(item.tag)) + " item outside any collection");
  }
  const GlobalState& g = globals_.current;
  const std::uint8_t id = g.report_id;
  if (id == 0) {
    if (!first_unnumbered_item_) first_unnumbered_item_ = item.offset;
  } else {
    uses_report_ids_ = true;
  }
  if (!CheckReportOwner(item, id)) return false;

  const std::uint64_t bits = std::uint64_t{g.report_size} * g.report_count;
  std::uint64_t& report_bits = reports_.bits[type][id];
  // Buffered bytes are copied byte-wise, so Windows wants them byte-aligned.
  if ((item.data & kBufferedBytes) && (report_bits % 8 != 0 || bits % 8 != 0)) {
    return FailItem(item, "Buffered Bytes field is not byte-aligned (starts at bit " +
                              std::to_string(report_bits) + ", " + std::to_string(bits) +
                              " bits long)");
  }
  if (bits > kMaxReportBits - report_bits) {
    return FailItem(item, "report " + std::to_string(id) + " grows beyond 65535 bytes");
  }
  const std::uint64_t first_bit = report_bits;
  report_bits += bits;

  TopLevelBuild& tlc = collections_.back();
  tlc.report_ids[type].set(id);
  const DataItem data_item{type, item.data, first_bit, &g};
  if (!AddDataItemCaps(tlc, data_item, locals_, error)) return FailItem(item, error);
  ClearLocalItems(locals_);
  return true;
}

// A report ID (0 standing for "no ID") belongs to one top-level collection:
// the system routes each report to the interface that declares it.
bool Parser::CheckReportOwner(const Item& item, std::uint8_t id) {
  const int current = static_cast<int>(collections_.size()) - 1;
  int& owner = report_owner_[id];
  if (owner < 0) owner = current;
  if (owner == current) return true;
  const std::string where = " in top-level collections " + std::to_string(owner + 1) +
                            " and " + std::to_string(current + 1);
  if (id == 0) {
    return FailItem(item, "reports without a report ID" + where +
                              "; several top-level collections need report IDs");
  }
  return FailItem(item, "report ID " + std::to_string(id) + " is used" + where);
}

bool Parser::HandleCollection(const Item& item) {
  std::string error;
  if (!CheckLocalsComplete(locals_, error)) return FailItem(item, error);
  if (!in_collection_) {
    if (collections_.size() >= kMaxTopLevelCollections) {
      return FailItem(item, "more than " + std::to_string(kMaxTopLevelCollections) +
                                " top-level collections");
    }
    collections_.emplace_back();
    collections_.back().offset = item.offset;
    in_collection_ = true;
  }
  // CollectionType is the raw byte, reserved and vendor values included.
  const auto type = static_cast<std::uint8_t>(item.data & 0xFF);
  if (!OpenCollection(collections_.back(), locals_, globals_.current.usage_page, type, error)) {
    return FailItem(item, error);
  }
  ClearLocalItems(locals_);
  return true;
}

bool Parser::HandleEndCollection(const Item& item) {
  if (!in_collection_ || !CloseCollection(collections_.back())) {
    return FailItem(item, "End Collection without an open Collection");
  }
  if (collections_.back().open.empty()) in_collection_ = false;
  ClearLocalItems(locals_);
  return true;
}

bool Parser::Finish(std::size_t end) {
  if (in_collection_) {
    return Fail(end, "end of descriptor inside a collection (" +
                         std::to_string(collections_.back().open.size()) +
                         " not closed by End Collection)");
  }
  if (collections_.empty()) return Fail(end, "descriptor has no collection");
  if (uses_report_ids_ && first_unnumbered_item_) {
    return Fail(*first_unnumbered_item_,
                "main item without a report ID in a descriptor that uses report IDs");
  }
  return true;
}

bool Parser::Fail(std::size_t offset, std::string message) {
  error_offset_ = offset;
  error_ = std::move(message);
  return false;
}

bool Parser::FailItem(const Item& item, const std::string& message) {
  return Fail(item.offset, "item " + Hex(item.prefix, 2) + ": " + message);
}

}  // namespace
}  // namespace detail

ParseResult Parse(const std::uint8_t* descriptor, std::size_t length) {
  // The working state is a few kilobytes; keep it off the caller's stack.
  auto parser = std::make_unique<detail::Parser>();
  return parser->Run(descriptor, length);
}

}  // namespace hidparse
