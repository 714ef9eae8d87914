// The preparsed-data token table shared by the grounds' HID.DLL modules.
#include "qzplatform/hidshared/preparsed_tokens.h"

#include <map>
#include <mutex>
#include <type_traits>

#include "hidparse/report.h"

namespace qzplatform::hidshared {
namespace {

struct TokenEntry {
  std::shared_ptr<const hidparse::PreparsedData> data;
  bool corrupt = false;
};

struct TokenTable {
  std::mutex mutex;
  std::map<std::uintptr_t, TokenEntry> live;
  std::uintptr_t next = 0x5000;
};

TokenTable& Tokens() {
  static TokenTable table;
  return table;
}

}  // namespace

PHIDP_PREPARSED_DATA NewPreparsedToken(std::shared_ptr<const hidparse::PreparsedData> data,
                                       bool corrupt) {
  TokenTable& t = Tokens();
  std::lock_guard lock(t.mutex);
  const std::uintptr_t token = t.next;
  t.next += 0x10;
  t.live.emplace(token, TokenEntry{std::move(data), corrupt});
  return reinterpret_cast<PHIDP_PREPARSED_DATA>(token);
}

std::shared_ptr<const hidparse::PreparsedData> LookupPreparsed(PHIDP_PREPARSED_DATA token) {
  TokenTable& t = Tokens();
  std::lock_guard lock(t.mutex);
  auto it = t.live.find(reinterpret_cast<std::uintptr_t>(token));
  if (it == t.live.end() || it->second.corrupt) return nullptr;
  return it->second.data;
}

std::size_t LivePreparsedCount() {
  TokenTable& t = Tokens();
  std::lock_guard lock(t.mutex);
  return t.live.size();
}

BOOLEAN WINAPI HidD_FreePreparsedData(PHIDP_PREPARSED_DATA PreparsedData) {
  TokenTable& t = Tokens();
  std::lock_guard lock(t.mutex);
  if (t.live.erase(reinterpret_cast<std::uintptr_t>(PreparsedData)) == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

// The parser's queries check the rest (report type, null records) as Windows orders it.
NTSTATUS WINAPI HidP_GetCaps(PHIDP_PREPARSED_DATA PreparsedData, HIDP_CAPS* Capabilities) {
  auto data = LookupPreparsed(PreparsedData);
  if (!data) return HIDP_STATUS_INVALID_PREPARSED_DATA;
  return hidparse::GetCaps(data.get(), Capabilities);
}

NTSTATUS WINAPI HidP_GetButtonCaps(HIDP_REPORT_TYPE ReportType, HIDP_BUTTON_CAPS* ButtonCaps,
                                   USHORT* ButtonCapsLength, PHIDP_PREPARSED_DATA PreparsedData) {
  auto data = LookupPreparsed(PreparsedData);
  if (!data) return HIDP_STATUS_INVALID_PREPARSED_DATA;
  return hidparse::GetButtonCaps(ReportType, ButtonCaps, ButtonCapsLength, data.get());
}

NTSTATUS WINAPI HidP_GetValueCaps(HIDP_REPORT_TYPE ReportType, HIDP_VALUE_CAPS* ValueCaps,
                                  USHORT* ValueCapsLength, PHIDP_PREPARSED_DATA PreparsedData) {
  auto data = LookupPreparsed(PreparsedData);
  if (!data) return HIDP_STATUS_INVALID_PREPARSED_DATA;
  return hidparse::GetValueCaps(ReportType, ValueCaps, ValueCapsLength, data.get());
}

// The report functions: the token is looked up once, the parser does the rest.
NTSTATUS WINAPI HidP_InitializeReportForID(HIDP_REPORT_TYPE ReportType, UCHAR ReportID,
                                           PHIDP_PREPARSED_DATA PreparsedData, char* Report,
                                           ULONG ReportLength) {
  auto data = LookupPreparsed(PreparsedData);
  return hidparse::InitializeReportForId(ReportType, ReportID, data.get(), Report, ReportLength);
}

ULONG WINAPI HidP_MaxUsageListLength(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                     PHIDP_PREPARSED_DATA PreparsedData) {
  auto data = LookupPreparsed(PreparsedData);
  return hidparse::MaxUsageListLength(ReportType, UsagePage, data.get());
}

NTSTATUS WINAPI HidP_GetUsages(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                               USHORT LinkCollection, USAGE* UsageList, ULONG* UsageLength,
                               PHIDP_PREPARSED_DATA PreparsedData, char* Report,
                               ULONG ReportLength) {
  auto data = LookupPreparsed(PreparsedData);
  return hidparse::GetUsages(ReportType, UsagePage, LinkCollection, UsageList, UsageLength,
                             data.get(), Report, ReportLength);
}

NTSTATUS WINAPI HidP_SetUsages(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                               USHORT LinkCollection, USAGE* UsageList, ULONG* UsageLength,
                               PHIDP_PREPARSED_DATA PreparsedData, char* Report,
                               ULONG ReportLength) {
  auto data = LookupPreparsed(PreparsedData);
  return hidparse::SetUsages(ReportType, UsagePage, LinkCollection, UsageList, UsageLength,
                             data.get(), Report, ReportLength);
}

NTSTATUS WINAPI HidP_UnsetUsages(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                 USHORT LinkCollection, USAGE* UsageList, ULONG* UsageLength,
                                 PHIDP_PREPARSED_DATA PreparsedData, char* Report,
                                 ULONG ReportLength) {
  auto data = LookupPreparsed(PreparsedData);
  return hidparse::UnsetUsages(ReportType, UsagePage, LinkCollection, UsageList, UsageLength,
                               data.get(), Report, ReportLength);
}

NTSTATUS WINAPI HidP_GetUsageValue(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                   USHORT LinkCollection, USAGE Usage, ULONG* UsageValue,
                                   PHIDP_PREPARSED_DATA PreparsedData, char* Report,
                                   ULONG ReportLength) {
  auto data = LookupPreparsed(PreparsedData);
  return hidparse::GetUsageValue(ReportType, UsagePage, LinkCollection, Usage, UsageValue,
                                 data.get(), Report, ReportLength);
}

NTSTATUS WINAPI HidP_SetUsageValue(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                   USHORT LinkCollection, USAGE Usage, ULONG UsageValue,
                                   PHIDP_PREPARSED_DATA PreparsedData, char* Report,
                                   ULONG ReportLength) {
  auto data = LookupPreparsed(PreparsedData);
  return hidparse::SetUsageValue(ReportType, UsagePage, LinkCollection, Usage, UsageValue,
                                 data.get(), Report, ReportLength);
}

NTSTATUS WINAPI HidP_GetScaledUsageValue(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                         USHORT LinkCollection, USAGE Usage, LONG* UsageValue,
                                         PHIDP_PREPARSED_DATA PreparsedData, char* Report,
                                         ULONG ReportLength) {
  auto data = LookupPreparsed(PreparsedData);
  return hidparse::GetScaledUsageValue(ReportType, UsagePage, LinkCollection, Usage, UsageValue,
                                       data.get(), Report, ReportLength);
}

NTSTATUS WINAPI HidP_SetScaledUsageValue(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                         USHORT LinkCollection, USAGE Usage, LONG UsageValue,
                                         PHIDP_PREPARSED_DATA PreparsedData, char* Report,
                                         ULONG ReportLength) {
  auto data = LookupPreparsed(PreparsedData);
  return hidparse::SetScaledUsageValue(ReportType, UsagePage, LinkCollection, Usage, UsageValue,
                                       data.get(), Report, ReportLength);
}

NTSTATUS WINAPI HidP_GetUsagesEx(HIDP_REPORT_TYPE ReportType, USHORT LinkCollection,
                                 USAGE_AND_PAGE* ButtonList, ULONG* UsageLength,
                                 PHIDP_PREPARSED_DATA PreparsedData, char* Report,
                                 ULONG ReportLength) {
  auto data = LookupPreparsed(PreparsedData);
  return hidparse::GetUsagesEx(ReportType, LinkCollection, ButtonList, UsageLength, data.get(),
                               Report, ReportLength);
}

ULONG WINAPI HidP_MaxDataListLength(HIDP_REPORT_TYPE ReportType,
                                    PHIDP_PREPARSED_DATA PreparsedData) {
  auto data = LookupPreparsed(PreparsedData);
  return hidparse::MaxDataListLength(ReportType, data.get());
}

NTSTATUS WINAPI HidP_GetData(HIDP_REPORT_TYPE ReportType, HIDP_DATA* DataList,
                             ULONG* DataLength, PHIDP_PREPARSED_DATA PreparsedData,
                             char* Report, ULONG ReportLength) {
  auto data = LookupPreparsed(PreparsedData);
  return hidparse::GetData(ReportType, DataList, DataLength, data.get(), Report, ReportLength);
}

NTSTATUS WINAPI HidP_SetData(HIDP_REPORT_TYPE ReportType, HIDP_DATA* DataList,
                             ULONG* DataLength, PHIDP_PREPARSED_DATA PreparsedData,
                             char* Report, ULONG ReportLength) {
  auto data = LookupPreparsed(PreparsedData);
  return hidparse::SetData(ReportType, DataList, DataLength, data.get(), Report, ReportLength);
}

NTSTATUS WINAPI HidP_GetUsageValueArray(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                        USHORT LinkCollection, USAGE Usage, char* UsageValue,
                                        USHORT UsageValueByteLength,
                                        PHIDP_PREPARSED_DATA PreparsedData, char* Report,
                                        ULONG ReportLength) {
  auto data = LookupPreparsed(PreparsedData);
  return hidparse::GetUsageValueArray(ReportType, UsagePage, LinkCollection, Usage, UsageValue,
                                      UsageValueByteLength, data.get(), Report, ReportLength);
}

NTSTATUS WINAPI HidP_SetUsageValueArray(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                        USHORT LinkCollection, USAGE Usage, char* UsageValue,
                                        USHORT UsageValueByteLength,
                                        PHIDP_PREPARSED_DATA PreparsedData, char* Report,
                                        ULONG ReportLength) {
  auto data = LookupPreparsed(PreparsedData);
  return hidparse::SetUsageValueArray(ReportType, UsagePage, LinkCollection, Usage, UsageValue,
                                      UsageValueByteLength, data.get(), Report, ReportLength);
}

NTSTATUS WINAPI HidP_GetSpecificButtonCaps(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                           USHORT LinkCollection, USAGE Usage,
                                           HIDP_BUTTON_CAPS* ButtonCaps, USHORT* ButtonCapsLength,
                                           PHIDP_PREPARSED_DATA PreparsedData) {
  auto data = LookupPreparsed(PreparsedData);
  return hidparse::GetSpecificButtonCaps(ReportType, UsagePage, LinkCollection, Usage,
                                         ButtonCaps, ButtonCapsLength, data.get());
}

NTSTATUS WINAPI HidP_GetSpecificValueCaps(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                          USHORT LinkCollection, USAGE Usage,
                                          HIDP_VALUE_CAPS* ValueCaps, USHORT* ValueCapsLength,
                                          PHIDP_PREPARSED_DATA PreparsedData) {
  auto data = LookupPreparsed(PreparsedData);
  return hidparse::GetSpecificValueCaps(ReportType, UsagePage, LinkCollection, Usage, ValueCaps,
                                        ValueCapsLength, data.get());
}

// The entries keep the exact types the library binds them with.
static_assert(std::is_same_v<decltype(&HidD_FreePreparsedData), PFN_HidD_FreePreparsedData>);
static_assert(std::is_same_v<decltype(&HidP_GetCaps), PFN_HidP_GetCaps>);
static_assert(std::is_same_v<decltype(&HidP_GetButtonCaps), PFN_HidP_GetButtonCaps>);
static_assert(std::is_same_v<decltype(&HidP_GetValueCaps), PFN_HidP_GetValueCaps>);
static_assert(std::is_same_v<decltype(&HidP_InitializeReportForID),
                             PFN_HidP_InitializeReportForID>);
static_assert(std::is_same_v<decltype(&HidP_MaxUsageListLength), PFN_HidP_MaxUsageListLength>);
static_assert(std::is_same_v<decltype(&HidP_GetUsages), PFN_HidP_Usages>);
static_assert(std::is_same_v<decltype(&HidP_SetUsages), PFN_HidP_Usages>);
static_assert(std::is_same_v<decltype(&HidP_UnsetUsages), PFN_HidP_Usages>);
static_assert(std::is_same_v<decltype(&HidP_GetUsageValue), PFN_HidP_GetUsageValue>);
static_assert(std::is_same_v<decltype(&HidP_SetUsageValue), PFN_HidP_SetUsageValue>);
static_assert(std::is_same_v<decltype(&HidP_GetScaledUsageValue), PFN_HidP_GetScaledUsageValue>);
static_assert(std::is_same_v<decltype(&HidP_SetScaledUsageValue), PFN_HidP_SetScaledUsageValue>);
static_assert(std::is_same_v<decltype(&HidP_GetUsagesEx), PFN_HidP_GetUsagesEx>);
static_assert(std::is_same_v<decltype(&HidP_MaxDataListLength), PFN_HidP_MaxDataListLength>);
static_assert(std::is_same_v<decltype(&HidP_GetData), PFN_HidP_Data>);
static_assert(std::is_same_v<decltype(&HidP_SetData), PFN_HidP_Data>);
static_assert(std::is_same_v<decltype(&HidP_GetUsageValueArray), PFN_HidP_UsageValueArray>);
static_assert(std::is_same_v<decltype(&HidP_SetUsageValueArray), PFN_HidP_UsageValueArray>);
static_assert(std::is_same_v<decltype(&HidP_GetSpecificButtonCaps),
                             PFN_HidP_GetSpecificButtonCaps>);
static_assert(std::is_same_v<decltype(&HidP_GetSpecificValueCaps),
                             PFN_HidP_GetSpecificValueCaps>);

}  // namespace qzplatform::hidshared
