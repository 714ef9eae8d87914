// Parsing and formatting the linux ground's device interface paths.
#include "device_path.h"

#include "qzplatform/ascii_text.h"

namespace qzplatform::linux_ground {
namespace {

std::string_view TrimSlashes(std::string_view root) {
  while (root.size() > 1 && root.back() == '/') root.remove_suffix(1);
  return root;
}

// At most ten digits: a path with a longer run of leading zeros names no node.
std::optional<unsigned long long> ReadNumber(std::u16string_view text, unsigned base,
                                             unsigned long limit) {
  if (text.size() > 10) return std::nullopt;
  return ParseUnsigned(text, base, limit);
}

}  // namespace

std::optional<DevicePath> ParseDevicePath(std::u16string_view path, std::string_view dev_root) {
  const std::string_view root = TrimSlashes(dev_root);
  std::u16string prefix(root.begin(), root.end());
  if (prefix != u"/") prefix += u'/';
  prefix += u"hidraw";
  if (path.size() <= prefix.size() || path.substr(0, prefix.size()) != prefix) return std::nullopt;
  std::u16string_view rest = path.substr(prefix.size());
  DevicePath result;
  std::u16string_view number = rest;
  if (auto amp = rest.find(u'&'); amp != std::u16string_view::npos) {
    number = rest.substr(0, amp);
    std::u16string_view suffix = rest.substr(amp);
    if (suffix.size() != 6) return std::nullopt;
    const auto index = ReadNumber(suffix.substr(4), 16, 0xFF);
    if (!EqualAsciiNoCase(suffix.substr(0, 4), u"&col") || !index || *index == 0)
      return std::nullopt;
    result.collection = *index - 1;
    result.names_collection = true;
  }
  const auto node = ReadNumber(number, 10, 0xFFFFFF);
  if (!node) return std::nullopt;
  result.node = static_cast<unsigned>(*node);
  return result;
}

std::u16string FormatDevicePath(std::string_view dev_root, unsigned node, std::size_t collection,
                                std::size_t collection_count) {
  const std::string_view root = TrimSlashes(dev_root);
  std::string text(root);
  if (text != "/") text += '/';
  text += "hidraw" + std::to_string(node);
  if (collection_count > 1) {
    text += "&col";
    AppendHex(text, (collection + 1) & 0xFF, 2, true);
  }
  return std::u16string(text.begin(), text.end());
}

}  // namespace qzplatform::linux_ground
