// hidcaps --decode: reads the report's hex, picks the top-level collection, and prints
// the fields HidP_GetData lists as text or JSON.
#include "decode_command.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "descriptor_input.h"
#include "report_decode.h"

namespace hidcaps {

namespace {

const char* const kKindNames[] = {"input", "output", "feature"};

// "0x05" (a report ID), "0x0001" (a usage).
std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

USHORT ReportLength(const HIDP_CAPS& caps, HIDP_REPORT_TYPE type) {
  const USHORT lengths[] = {caps.InputReportByteLength, caps.OutputReportByteLength,
                            caps.FeatureReportByteLength};
  return lengths[type];
}

std::string IdList(const std::vector<std::uint8_t>& ids) {
  std::string text;
  for (std::uint8_t id : ids) text += (text.empty() ? "" : ", ") + Hex(id, 2);
  return text.empty() ? "none" : text;
}

// Of several collections none has the report: what Windows' report functions answer on
// each of their interfaces.
std::string NoOwner(const hidparse::ParseResult& parsed, const DecodeRequest& request,
                    std::uint8_t report_id) {
  std::string text = std::string(KindName(request.type)) + " report " + Hex(report_id, 2) +
                     " refused: HIDP_STATUS_REPORT_DOES_NOT_EXIST (no top-level collection has it;";
  for (std::size_t i = 0; i < parsed.collections.size(); ++i) {
    text += std::string(i == 0 ? "" : ";") + " collection " + std::to_string(i + 1) + ": " +
            IdList(parsed.collections[i]->report_ids[request.type]);
  }
  return text + ")";
}

// Why the report functions refused the report, with the facts that explain it.
std::string Refusal(NTSTATUS status, const hidparse::PreparsedData& data, std::size_t collection,
                    const DecodeRequest& request, const std::vector<std::uint8_t>& report) {
  std::string text = std::string(KindName(request.type)) + " report refused: " +
                     StatusName(status) + " (top-level collection " + std::to_string(collection);
  const USHORT length = ReportLength(data.caps, request.type);
  if (status == HIDP_STATUS_INVALID_REPORT_LENGTH && length == 0) {
    text += std::string(" has no ") + KindName(request.type) + " reports)";
  } else if (status == HIDP_STATUS_INVALID_REPORT_LENGTH) {
    text += " has " + std::to_string(length) + "-byte " + KindName(request.type) +
            " reports, byte 0 the report ID; this one has " + std::to_string(report.size()) + ")";
  } else if (status == HIDP_STATUS_REPORT_DOES_NOT_EXIST) {
    text += " has no " + std::string(KindName(request.type)) + " report " + Hex(report[0], 2) +
            "; its IDs: " + IdList(data.report_ids[request.type]) + ")";
  } else {
    text += ")";
  }
  return text;
}

// The collections to decode in: the one asked for, else the only one, else those
// declaring the report's ID for that type.
std::vector<std::size_t> Targets(const hidparse::ParseResult& parsed, const DecodeRequest& request,
                                 std::uint8_t report_id) {
  if (request.collection != 0) return {request.collection};
  if (parsed.collections.size() == 1) return {1};
  std::vector<std::size_t> owners;
  for (std::size_t i = 0; i < parsed.collections.size(); ++i) {
    const auto& ids = parsed.collections[i]->report_ids[request.type];
    if (std::find(ids.begin(), ids.end(), report_id) != ids.end()) owners.push_back(i + 1);
  }
  return owners;
}

nlohmann::ordered_json FieldJson(const DecodedField& field) {
  nlohmann::ordered_json out = {{"DataIndex", field.data_index},
                                {"UsagePage", field.usage_page},
                                {"UsagePageName", field.page_name},
                                {"Usage", field.usage},
                                {"UsageName", field.usage_name}};
  if (field.is_button) {
    out["On"] = true;
    return out;
  }
  out["RawValue"] = field.raw;
  out["LogicalValue"] = field.logical;
  if (field.physical) out["PhysicalValue"] = *field.physical;
  if (field.physical_status) out["PhysicalStatus"] = StatusName(*field.physical_status);
  return out;
}

std::string FieldText(const DecodedField& field) {
  std::string text = "  DataIndex " + std::to_string(field.data_index) + "  " +
                     Hex(field.usage_page, 4) + " " + field.page_name + " / " + Hex(field.usage, 4) +
                     " " + field.usage_name;
  if (field.is_button) return text + "  on\n";
  text += "  logical " + std::to_string(field.logical);
  if (field.physical) text += "  physical " + std::to_string(*field.physical);
  if (field.physical_status) text += "  physical " + StatusName(*field.physical_status);
  return text + "\n";
}

std::string Heading(const hidparse::PreparsedData& data, std::size_t collection,
                    const DecodeRequest& request, std::uint8_t report_id,
                    const DecodedReport& decoded) {
  const qzusbids::UsbIds& names = qzusbids::UsbIds::System();
  std::string kind = KindName(request.type);
  kind[0] = static_cast<char>(kind[0] - 'a' + 'A');
  return kind + " report " + Hex(report_id, 2) + " of top-level collection " +
         std::to_string(collection) + " (" + names.UsagePage(data.caps.UsagePage) + " / " +
         names.Usage(data.caps.UsagePage, data.caps.Usage) + "): " +
         std::to_string(decoded.fields.size()) + " field(s)\n";
}

}  // namespace

const char* KindName(HIDP_REPORT_TYPE type) { return kKindNames[type]; }

bool ParseKind(const std::string& text, HIDP_REPORT_TYPE* type) {
  for (HIDP_REPORT_TYPE kind : {HidP_Input, HidP_Output, HidP_Feature}) {
    if (text != kKindNames[kind]) continue;
    *type = kind;
    return true;
  }
  return false;
}

DecodeOutcome RunDecode(const hidparse::ParseResult& parsed, const DecodeRequest& request) {
  if (request.report_hex.find_first_not_of(" \t\r\n,") == std::string::npos) {
    return {kDecodeBadInput, "--decode: the report is empty"};
  }
  const DescriptorInput input = DecodeDescriptor(request.report_hex, InputFormat::kHex);
  if (!input.ok()) return {kDecodeBadInput, "--decode: " + input.error};
  const std::vector<std::uint8_t>& report = input.bytes;

  const std::vector<std::size_t> targets = Targets(parsed, request, report[0]);
  if (targets.empty()) return {kDecodeRefused, NoOwner(parsed, request, report[0])};
  nlohmann::ordered_json json = nlohmann::ordered_json::array();
  std::string text;
  for (std::size_t collection : targets) {
    const hidparse::PreparsedData& data = *parsed.collections[collection - 1];
    const DecodedReport decoded =
        DecodeReport(data, request.type, report, qzusbids::UsbIds::System());
    if (decoded.status != HIDP_STATUS_SUCCESS) {
      return {kDecodeRefused, Refusal(decoded.status, data, collection, request, report)};
    }
    nlohmann::ordered_json fields = nlohmann::ordered_json::array();
    text += Heading(data, collection, request, report[0], decoded);
    for (const DecodedField& field : decoded.fields) {
      fields.push_back(FieldJson(field));
      text += FieldText(field);
    }
    json.push_back({{"collection", collection},
                    {"kind", KindName(request.type)},
                    {"ReportID", report[0]},
                    {"fields", std::move(fields)}});
  }
  if (!request.json) {
    std::cout << text;
  } else {
    std::cout << (json.size() == 1 ? json.front() : json).dump(2) << "\n";
  }
  return {};
}

}  // namespace hidcaps
