// Parsing and formatting the linux ground's device interface paths.
#include "device_path.h"

#include <cstdio>

namespace qzplatform::linux_ground {
namespace {

std::string_view TrimSlashes(std::string_view root) {
  while (root.size() > 1 && root.back() == '/') root.remove_suffix(1);
  return root;
}

bool ReadNumber(std::u16string_view text, unsigned base, unsigned long limit, unsigned long* out) {
  if (text.empty() || text.size() > 10) return false;
  unsigned long value = 0;
  for (char16_t c : text) {
    unsigned digit;
    if (c >= u'0' && c <= u'9')
      digit = static_cast<unsigned>(c - u'0');
    else if (base == 16 && c >= u'a' && c <= u'f')
      digit = static_cast<unsigned>(c - u'a' + 10);
    else if (base == 16 && c >= u'A' && c <= u'F')
      digit = static_cast<unsigned>(c - u'A' + 10);
    else
      return false;
    value = value * base + digit;
    if (value > limit) return false;
  }
  *out = value;
  return true;
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
    std::u16string tag(suffix.substr(0, 4));
    for (char16_t& c : tag)
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    unsigned long index = 0;
    if (tag != u"&col" || !ReadNumber(suffix.substr(4), 16, 0xFF, &index) || index == 0)
      return std::nullopt;
    result.collection = index - 1;
    result.names_collection = true;
  }
  unsigned long node = 0;
  if (!ReadNumber(number, 10, 0xFFFFFF, &node)) return std::nullopt;
  result.node = static_cast<unsigned>(node);
  return result;
}

std::u16string FormatDevicePath(std::string_view dev_root, unsigned node, std::size_t collection,
                                std::size_t collection_count) {
  const std::string_view root = TrimSlashes(dev_root);
  std::string text(root);
  if (text != "/") text += '/';
  text += "hidraw" + std::to_string(node);
  if (collection_count > 1) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "&col%02zx", (collection + 1) & 0xFF);
    text += suffix;
  }
  return std::u16string(text.begin(), text.end());
}

}  // namespace qzplatform::linux_ground
