// The device information view's tree and rows.
#include "presenter/device_view.h"

#include "qzclasses/format.h"
#include "qzhid/usage_names.h"

namespace demo {

namespace {

struct Group {
  const char16_t* caption;
  const char16_t* childCaption;
  std::uint16_t (qz::TqzHidDevice::*count)() const;
};

// In tree order; a group's position is its node data.
constexpr Group kGroups[] = {
    {u"Input Buttons", u"Input Button ", &qz::TqzHidDevice::InputButtonsCount},
    {u"Input Values", u"Input Values ", &qz::TqzHidDevice::InputValuesCount},
    {u"Output Buttons", u"Output Button ", &qz::TqzHidDevice::OutputButtonsCount},
    {u"Output Values", u"Output Values ", &qz::TqzHidDevice::OutputValuesCount},
    {u"Feature Buttons", u"Feature Button ", &qz::TqzHidDevice::FeatureButtonsCount},
    {u"Feature Values", u"Feature Values ", &qz::TqzHidDevice::FeatureValuesCount},
};

// The record's count code for each node data value.
constexpr int kTableCode[] = {qz::hcInputButtons,   qz::hcInputValues,  qz::hcOutputButtons,
                              qz::hcOutputValues,   qz::hcFeatureButtons, qz::hcFeatureValues};

qz::Text Bool(bool value) { return value ? u"True" : u"False"; }

qz::Text UsagePageText(std::uint16_t page) {
  return qz::Format(u"%0.4x (%s)", {page, qz::GetUsagePageName(page)});
}

// The usages a capability holds: one name, or the first and last of a range.
template <typename Caps>
qz::Text CapsName(const Caps& caps) {
  if (!caps.IsRange) return qz::HidUsageName(caps.UsagePage, caps.NotRange.Usage);
  return qz::HidUsageName(caps.UsagePage, caps.Range.UsageMin) + u" .. " +
         qz::HidUsageName(caps.UsagePage, caps.Range.UsageMax);
}

// The name of a table entry, when the record has it loaded.
qz::Text EntryName(const qz::TqzHidDevice& device, std::int32_t data, std::uint16_t index) {
  using Buttons = std::vector<HIDP_BUTTON_CAPS> qz::TqzHidDevice::*;
  using Values = std::vector<HIDP_VALUE_CAPS> qz::TqzHidDevice::*;
  static constexpr Buttons kButtons[] = {&qz::TqzHidDevice::fCapsInputButtons,
                                         &qz::TqzHidDevice::fCapsOutputButtons,
                                         &qz::TqzHidDevice::fCapsFeatureButtons};
  static constexpr Values kValues[] = {&qz::TqzHidDevice::fCapsInputValues,
                                       &qz::TqzHidDevice::fCapsOutputValues,
                                       &qz::TqzHidDevice::fCapsFeatureValues};
  if (data % 2 == 0) {
    const auto& table = device.*kButtons[data / 2];
    return index < table.size() ? CapsName(table[index]) : qz::Text();
  }
  const auto& table = device.*kValues[data / 2];
  return index < table.size() ? CapsName(table[index]) : qz::Text();
}

// The rows both capability layouts share.
template <typename Caps>
std::vector<InfoRow> CapsRows(const Caps& caps) {
  std::vector<InfoRow> rows;
  AddInfoRow(rows, u"Usage Page", UsagePageText(caps.UsagePage),
             qz::HidUsagePageName(caps.UsagePage));
  AddInfoRow(rows, u"Report ID", qz::Format(u"%0.2x", {caps.ReportID}));
  AddInfoRow(rows, u"Bit Field", qz::Format(u"%0.4x", {caps.BitField}));
  AddInfoRow(rows, u"Is Range", Bool(caps.IsRange));
  AddInfoRow(rows, u"Is Designator Range", Bool(caps.IsDesignatorRange));
  // Only IsRange chooses the form, whatever the string and designator flags say.
  if (caps.IsRange) {
    const auto& r = caps.Range;
    AddInfoRow(rows, u"Usage Min/Max", qz::Format(u"%u / %u", {r.UsageMin, r.UsageMax}));
    AddInfoRow(rows, u"String Min/Max", qz::Format(u"%u / %u", {r.StringMin, r.StringMax}));
    AddInfoRow(rows, u"Designator Min/Max",
               qz::Format(u"%u / %u", {r.DesignatorMin, r.DesignatorMax}));
    AddInfoRow(rows, u"Data Index Min/Max",
               qz::Format(u"%u / %u", {r.DataIndexMin, r.DataIndexMax}));
  } else {
    const auto& n = caps.NotRange;
    AddInfoRow(rows, u"Usage", qz::Format(u"%u [%0.4xh]", {n.Usage, n.Usage}),
               qz::HidUsageName(caps.UsagePage, n.Usage));
    AddInfoRow(rows, u"String", qz::Format(u"%u", {n.StringIndex}));
    AddInfoRow(rows, u"Designator", qz::Format(u"%u", {n.DesignatorIndex}));
    AddInfoRow(rows, u"Data Index", qz::Format(u"%u", {n.DataIndex}));
  }
  return rows;
}

}  // namespace

std::vector<TreeNode> DeviceTree(const qz::TqzHidDevice* device) {
  std::vector<TreeNode> tree;
  if (!device) return tree;
  tree.push_back({u"General HID Info", 0, {}});
  for (std::int32_t data = 0; data < static_cast<std::int32_t>(std::size(kGroups)); ++data) {
    const Group& group = kGroups[data];
    const std::uint16_t count = (device->*group.count)();
    if (count == 0) continue;
    TreeNode node{group.caption, data, {}};
    for (std::uint16_t i = 0; i < count; ++i) {
      node.children.push_back(
          {qz::Format(u"%s%u", {group.childCaption, i}), 0, {}, EntryName(*device, data, i)});
    }
    tree.push_back(std::move(node));
  }
  return tree;
}

qz::Text NodeText(const TreeNode& node) {
  return node.name.empty() ? node.caption : node.caption + u": " + node.name;
}

qz::Text ValueText(const InfoRow& row) {
  return row.name.empty() ? row.value : row.value + u"  " + row.name;
}

void AddInfoRow(std::vector<InfoRow>& rows, const qz::Text& property, const qz::Text& value,
                const qz::Text& name) {
  if (qz::Trim(value).empty()) return;
  rows.push_back({property, value, name});
}

std::vector<InfoRow> GeneralInfoRows(const qz::TqzHidDevice& device,
                                     std::optional<AccessModes> open) {
  std::vector<InfoRow> rows;
  AddInfoRow(rows, u"Friendly Name", device.NameFriendly);
  AddInfoRow(rows, u"Description", device.Description);
  AddInfoRow(rows, u"Manufacturer", device.Manufacturer);
  AddInfoRow(rows, u"S/N", device.SerialNumber);
  AddInfoRow(rows, u"Service", device.Service);
  AddInfoRow(rows, u"VendorID", qz::Format(u"%0.4x", {device.VendorId()}));
  AddInfoRow(rows, u"ProductID", qz::Format(u"%0.4x", {device.ProductId()}));
  AddInfoRow(rows, u"Ver", qz::Format(u"%u [%0.4xh]", {device.Version(), device.Version()}));
  AddInfoRow(rows, u"Usage Page", UsagePageText(device.UsagePage()),
             qz::HidUsagePageName(device.UsagePage()));
  AddInfoRow(rows, u"I/O Length",
             qz::Format(u"%u/%u", {device.InputReportLength(), device.OutputReportLength()}));
  if (open) AddInfoRow(rows, u"R/W modes:", Bool(open->read) + u" / " + Bool(open->write));
  return rows;
}

std::vector<InfoRow> ButtonCapsRows(const HIDP_BUTTON_CAPS& caps) { return CapsRows(caps); }

std::vector<InfoRow> ValueCapsRows(const HIDP_VALUE_CAPS& caps) { return CapsRows(caps); }

std::vector<InfoRow> NodeInfoRows(const std::vector<TreeNode>& tree, NodePath selected,
                                  const qz::TqzHidDevice* device,
                                  std::optional<AccessModes> open) {
  if (!device || selected.top < 0 || selected.top >= static_cast<int>(tree.size())) return {};
  if (selected.child < 0) {
    // Only the very first node has rows of its own; a group node shows none.
    return selected.top == 0 ? GeneralInfoRows(*device, open) : std::vector<InfoRow>{};
  }
  const std::int32_t data = tree[static_cast<std::size_t>(selected.top)].data;
  if (data < 0 || data >= static_cast<std::int32_t>(std::size(kTableCode))) return {};
  const int code = kTableCode[data];
  return data % 2 == 0 ? ButtonCapsRows(device->GetButtons(selected.child, code))
                       : ValueCapsRows(device->GetValues(selected.child, code));
}

}  // namespace demo
