// Report routing by report ID and Windows' sharing rules.
#include "qzplatform/hidshared/report_routing.h"

#include <algorithm>

namespace qzplatform::hidshared {

bool Declares(const hidparse::PreparsedData& collection, HIDP_REPORT_TYPE type, std::uint8_t id) {
  const auto& ids = collection.report_ids[type];
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

std::optional<std::size_t> CollectionOf(const Collections& collections, HIDP_REPORT_TYPE type,
                                        std::uint8_t id) {
  for (std::size_t i = 0; i < collections.size(); ++i)
    if (collections[i] && Declares(*collections[i], type, id)) return i;
  return std::nullopt;
}

bool UsesReportIds(const Collections& collections) {
  for (const auto& c : collections)
    if (c)
      for (const auto& ids : c->report_ids)
        if (std::any_of(ids.begin(), ids.end(), [](std::uint8_t id) { return id != 0; }))
          return true;
  return false;
}

USHORT ReportLength(const hidparse::PreparsedData& collection, HIDP_REPORT_TYPE type) {
  switch (type) {
    case HidP_Input: return collection.caps.InputReportByteLength;
    case HidP_Output: return collection.caps.OutputReportByteLength;
    case HidP_Feature: return collection.caps.FeatureReportByteLength;
  }
  return 0;
}

bool SharingAllows(Access want, DWORD share, Access has, DWORD has_share) {
  if (!want.read && !want.write) return true;
  if (!has.read && !has.write) return true;
  return !((want.read && !(has_share & FILE_SHARE_READ)) ||
           (want.write && !(has_share & FILE_SHARE_WRITE)) ||
           (has.read && !(share & FILE_SHARE_READ)) || (has.write && !(share & FILE_SHARE_WRITE)));
}

Access AccessOf(DWORD desired_access) {
  constexpr DWORD kGenericAll = 0x10000000u;
  return {(desired_access & (GENERIC_READ | kGenericAll)) != 0,
          (desired_access & (GENERIC_WRITE | kGenericAll)) != 0};
}

}  // namespace qzplatform::hidshared
