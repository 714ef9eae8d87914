// The HidP_ capability queries over preparsed data, with Windows' statuses in
// Windows' order: preparsed data first, then the report type, then the buffer;
// and the checks the report functions share.
#include <algorithm>
#include <iterator>
#include <vector>

#include "hidparse/hidparse.h"
#include "report_access.h"

namespace hidparse {

namespace detail {

bool IsReportType(HIDP_REPORT_TYPE type) {
  return type == HidP_Input || type == HidP_Output || type == HidP_Feature;
}

USHORT ReportByteLength(const PreparsedData& data, HIDP_REPORT_TYPE type) {
  switch (type) {
    case HidP_Input: return data.caps.InputReportByteLength;
    case HidP_Output: return data.caps.OutputReportByteLength;
    case HidP_Feature: return data.caps.FeatureReportByteLength;
  }
  return 0;
}

NTSTATUS CheckReport(const PreparsedData* data, HIDP_REPORT_TYPE type, const char* report,
                     ULONG report_length) {
  if (data == nullptr) return HIDP_STATUS_INVALID_PREPARSED_DATA;
  if (!IsReportType(type)) return HIDP_STATUS_INVALID_REPORT_TYPE;
  if (report == nullptr || report_length != ReportByteLength(*data, type)) {
    return HIDP_STATUS_INVALID_REPORT_LENGTH;
  }
  return HIDP_STATUS_SUCCESS;
}

}  // namespace detail

namespace {

using detail::IsReportType;

// Shared by HidP_GetButtonCaps and HidP_GetValueCaps. Like Windows: no caps of
// that type is USAGE_NOT_FOUND with a count of 0; a short buffer is filled as far
// as it goes and gets BUFFER_TOO_SMALL with the count needed.
template <typename Caps>
NTSTATUS CopyCaps(const std::vector<Caps>& source, Caps* caps, USHORT* length) {
  if (length == nullptr) return HIDP_STATUS_INTERNAL_ERROR;  // Windows would fault
  const auto needed = static_cast<USHORT>(source.size());
  if (needed == 0) {
    *length = 0;
    return HIDP_STATUS_USAGE_NOT_FOUND;
  }
  const USHORT room = caps != nullptr ? *length : 0;
  std::copy_n(source.begin(), std::min(room, needed), caps);
  *length = needed;
  return room < needed ? HIDP_STATUS_BUFFER_TOO_SMALL : HIDP_STATUS_SUCCESS;
}

// HidP_GetSpecific*Caps: the caps on `usage_page` in `link_collection` naming
// `usage`, in stored order; 0 in any of the three matches everything.
template <typename Caps>
NTSTATUS CopySpecificCaps(const std::vector<Caps>& source, USAGE usage_page,
                          USHORT link_collection, USAGE usage, Caps* caps, USHORT* length) {
  std::vector<Caps> matching;
  std::copy_if(source.begin(), source.end(), std::back_inserter(matching), [&](const Caps& c) {
    return (usage_page == 0 || c.UsagePage == usage_page) &&
           (link_collection == 0 || c.LinkCollection == link_collection) &&
           (usage == 0 || (usage >= c.Range.UsageMin && usage <= c.Range.UsageMax));
  });
  return CopyCaps(matching, caps, length);
}

}  // namespace

NTSTATUS GetCaps(const PreparsedData* data, HIDP_CAPS* caps) {
  if (data == nullptr) return HIDP_STATUS_INVALID_PREPARSED_DATA;
  if (caps == nullptr) return HIDP_STATUS_INTERNAL_ERROR;
  *caps = data->caps;
  return HIDP_STATUS_SUCCESS;
}

// The specific query that matches every usage page, link collection and usage.
NTSTATUS GetButtonCaps(HIDP_REPORT_TYPE type, HIDP_BUTTON_CAPS* caps, USHORT* length,
                       const PreparsedData* data) {
  return GetSpecificButtonCaps(type, 0, 0, 0, caps, length, data);
}

// The specific query that matches every usage page, link collection and usage.
NTSTATUS GetValueCaps(HIDP_REPORT_TYPE type, HIDP_VALUE_CAPS* caps, USHORT* length,
                      const PreparsedData* data) {
  return GetSpecificValueCaps(type, 0, 0, 0, caps, length, data);
}

NTSTATUS GetSpecificButtonCaps(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                               USAGE usage, HIDP_BUTTON_CAPS* caps, USHORT* length,
                               const PreparsedData* data) {
  if (data == nullptr) return HIDP_STATUS_INVALID_PREPARSED_DATA;
  if (!IsReportType(type)) return HIDP_STATUS_INVALID_REPORT_TYPE;
  return CopySpecificCaps(data->button_caps[type], usage_page, link_collection, usage, caps,
                          length);
}

NTSTATUS GetSpecificValueCaps(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                              USAGE usage, HIDP_VALUE_CAPS* caps, USHORT* length,
                              const PreparsedData* data) {
  if (data == nullptr) return HIDP_STATUS_INVALID_PREPARSED_DATA;
  if (!IsReportType(type)) return HIDP_STATUS_INVALID_REPORT_TYPE;
  return CopySpecificCaps(data->value_caps[type], usage_page, link_collection, usage, caps,
                          length);
}

NTSTATUS GetLinkCollectionNodes(HIDP_LINK_COLLECTION_NODE* nodes, ULONG* length,
                                const PreparsedData* data) {
  if (data == nullptr) return HIDP_STATUS_INVALID_PREPARSED_DATA;
  if (length == nullptr) return HIDP_STATUS_INTERNAL_ERROR;
  const auto needed = static_cast<ULONG>(data->link_collections.size());
  // Unlike the cap queries, a short buffer gets nothing: only the count needed.
  if (nodes == nullptr || *length < needed) {
    *length = needed;
    return HIDP_STATUS_BUFFER_TOO_SMALL;
  }
  std::copy(data->link_collections.begin(), data->link_collections.end(), nodes);
  *length = needed;
  return HIDP_STATUS_SUCCESS;
}

}  // namespace hidparse
