// `list` and `info`: the interfaces one a line, and one interface's information as the
// demo's information view shows it.
#include <nlohmann/json.hpp>

#include "presenter/device_view.h"
#include "qzclasses/text.h"
#include "qzhid/usage_names.h"
#include "session.h"

namespace qzhid {
namespace {

using Json = nlohmann::ordered_json;

std::string Utf8(const qz::Text& text) { return qz::TextToUtf8(text); }

DeviceFilter FilterFromOptions(const Invocation& inv) {
  DeviceFilter filter;
  if (const auto* v = inv.Value("--vid")) filter.vid = ParseHex16(*v, "--vid");
  if (const auto* v = inv.Value("--pid")) filter.pid = ParseHex16(*v, "--pid");
  if (const auto* v = inv.Value("--usage-page")) filter.usagePage = ParseHex16(*v, "--usage-page");
  if (const auto* v = inv.Value("--usage")) filter.usage = ParseHex16(*v, "--usage");
  return filter;
}

Json DeviceJson(std::int32_t index, const qz::TqzHidDevice& d) {
  return Json{{"index", index},
              {"vendor_id", d.VendorId()},
              {"product_id", d.ProductId()},
              {"vendor", VendorName(d)},
              {"product", ProductName(d)},
              {"usage_page", d.UsagePage()},
              {"usage_page_name", Utf8(qz::HidUsagePageName(d.UsagePage()))},
              {"usage", d.Usage()},
              {"usage_name", Utf8(qz::HidUsageName(d.UsagePage(), d.Usage()))},
              {"collection", CollectionTag(d)},
              {"input_report_length", d.InputReportLength()},
              {"output_report_length", d.OutputReportLength()},
              {"feature_report_length", d.FeatureReportLength()},
              {"path", Utf8(d.NameSymbolic)}};
}

Json RowsJson(const std::vector<demo::InfoRow>& rows) {
  Json json = Json::object();
  for (const demo::InfoRow& row : rows) json[Utf8(row.property)] = Utf8(demo::ValueText(row));
  return json;
}

void PrintRows(std::ostream& out, const std::vector<demo::InfoRow>& rows, const char* indent) {
  for (const demo::InfoRow& row : rows) {
    std::string name = Utf8(row.property);
    name.resize(std::max<std::size_t>(name.size() + 1, 22), ' ');
    out << indent << name << Utf8(demo::ValueText(row)) << "\n";
  }
}

}  // namespace

void ListCommand(Session& s) {
  const DeviceFilter filter = FilterFromOptions(s.inv);
  Json list = Json::array();
  for (std::int32_t i = 0; i < s.devices.Count(); ++i) {
    const qz::TqzHidDevice& d = s.devices.At(i);
    if (!filter.Matches(d)) continue;
    if (s.inv.json) list.push_back(DeviceJson(i, d));
    else s.out << ListLine(i, d) << "\n";
  }
  if (s.inv.json) s.out << list.dump(2) << "\n";
}

// Every node of the demo's information tree with its rows: the general node, then one
// block per entry of each non-empty capability table.
void InfoCommand(Session& s) {
  const std::int32_t index = s.devices.Select(s.inv.args[0]);
  const qz::TqzHidDevice& d = s.devices.At(index);
  const std::vector<demo::TreeNode> tree = demo::DeviceTree(&d);
  Json json = DeviceJson(index, d);
  if (!s.inv.json) s.out << ListLine(index, d) << "\n" << Utf8(d.NameSymbolic) << "\n";
  for (int top = 0; top < static_cast<int>(tree.size()); ++top) {
    const demo::TreeNode& node = tree[static_cast<std::size_t>(top)];
    if (top == 0) {
      const auto rows = demo::NodeInfoRows(tree, {0, -1}, &d, std::nullopt);
      if (s.inv.json) {
        json[Utf8(node.caption)] = RowsJson(rows);
      } else {
        s.out << Utf8(node.caption) << "\n";
        PrintRows(s.out, rows, "  ");
      }
      continue;
    }
    Json table = Json::array();
    if (!s.inv.json) s.out << Utf8(node.caption) << "\n";
    for (int child = 0; child < static_cast<int>(node.children.size()); ++child) {
      const auto rows = demo::NodeInfoRows(tree, {top, child}, &d, std::nullopt);
      if (s.inv.json) {
        table.push_back(RowsJson(rows));
      } else {
        s.out << "  " << Utf8(demo::NodeText(node.children[static_cast<std::size_t>(child)])) << "\n";
        PrintRows(s.out, rows, "    ");
      }
    }
    if (s.inv.json) json[Utf8(node.caption)] = table;
  }
  if (s.inv.json) s.out << json.dump(2) << "\n";
}

}  // namespace qzhid
