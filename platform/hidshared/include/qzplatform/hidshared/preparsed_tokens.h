// Preparsed data as HID.DLL hands them out off Windows: numbered tokens over parsed
// collections, and the HidP_ entries and HidD_FreePreparsedData that read them.
#pragma once

#ifndef _WIN32

#include <memory>

#include "hidparse/hidparse.h"
#include "qzplatform/hid.h"

namespace qzplatform::hidshared {

// A token for `data`, never reused: a forged, freed or stale value is found missing
// instead of being read. With `corrupt` every HidP_ query on it fails (a device
// whose preparsed data its queries refuse).
PHIDP_PREPARSED_DATA NewPreparsedToken(std::shared_ptr<const hidparse::PreparsedData> data,
                                       bool corrupt = false);
// The collection behind a live, sound token; null otherwise.
std::shared_ptr<const hidparse::PreparsedData> LookupPreparsed(PHIDP_PREPARSED_DATA token);
// How many tokens are live (tests look for leaks).
std::size_t LivePreparsedCount();

// The HID.DLL entries that need nothing but the token table and the parser.
BOOLEAN WINAPI HidD_FreePreparsedData(PHIDP_PREPARSED_DATA PreparsedData);
NTSTATUS WINAPI HidP_GetCaps(PHIDP_PREPARSED_DATA PreparsedData, HIDP_CAPS* Capabilities);
NTSTATUS WINAPI HidP_GetButtonCaps(HIDP_REPORT_TYPE ReportType, HIDP_BUTTON_CAPS* ButtonCaps,
                                   USHORT* ButtonCapsLength, PHIDP_PREPARSED_DATA PreparsedData);
NTSTATUS WINAPI HidP_GetValueCaps(HIDP_REPORT_TYPE ReportType, HIDP_VALUE_CAPS* ValueCaps,
                                  USHORT* ValueCapsLength, PHIDP_PREPARSED_DATA PreparsedData);
NTSTATUS WINAPI HidP_InitializeReportForID(HIDP_REPORT_TYPE ReportType, UCHAR ReportID,
                                           PHIDP_PREPARSED_DATA PreparsedData, char* Report,
                                           ULONG ReportLength);
ULONG WINAPI HidP_MaxUsageListLength(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                     PHIDP_PREPARSED_DATA PreparsedData);
NTSTATUS WINAPI HidP_GetUsages(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                               USHORT LinkCollection, USAGE* UsageList, ULONG* UsageLength,
                               PHIDP_PREPARSED_DATA PreparsedData, char* Report,
                               ULONG ReportLength);
NTSTATUS WINAPI HidP_SetUsages(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                               USHORT LinkCollection, USAGE* UsageList, ULONG* UsageLength,
                               PHIDP_PREPARSED_DATA PreparsedData, char* Report,
                               ULONG ReportLength);
NTSTATUS WINAPI HidP_UnsetUsages(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                 USHORT LinkCollection, USAGE* UsageList, ULONG* UsageLength,
                                 PHIDP_PREPARSED_DATA PreparsedData, char* Report,
                                 ULONG ReportLength);
NTSTATUS WINAPI HidP_GetUsageValue(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                   USHORT LinkCollection, USAGE Usage, ULONG* UsageValue,
                                   PHIDP_PREPARSED_DATA PreparsedData, char* Report,
                                   ULONG ReportLength);
NTSTATUS WINAPI HidP_SetUsageValue(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                   USHORT LinkCollection, USAGE Usage, ULONG UsageValue,
                                   PHIDP_PREPARSED_DATA PreparsedData, char* Report,
                                   ULONG ReportLength);
NTSTATUS WINAPI HidP_GetScaledUsageValue(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                         USHORT LinkCollection, USAGE Usage, LONG* UsageValue,
                                         PHIDP_PREPARSED_DATA PreparsedData, char* Report,
                                         ULONG ReportLength);
NTSTATUS WINAPI HidP_SetScaledUsageValue(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                         USHORT LinkCollection, USAGE Usage, LONG UsageValue,
                                         PHIDP_PREPARSED_DATA PreparsedData, char* Report,
                                         ULONG ReportLength);
NTSTATUS WINAPI HidP_GetUsagesEx(HIDP_REPORT_TYPE ReportType, USHORT LinkCollection,
                                 USAGE_AND_PAGE* ButtonList, ULONG* UsageLength,
                                 PHIDP_PREPARSED_DATA PreparsedData, char* Report,
                                 ULONG ReportLength);
ULONG WINAPI HidP_MaxDataListLength(HIDP_REPORT_TYPE ReportType,
                                    PHIDP_PREPARSED_DATA PreparsedData);
NTSTATUS WINAPI HidP_GetData(HIDP_REPORT_TYPE ReportType, HIDP_DATA* DataList,
                             ULONG* DataLength, PHIDP_PREPARSED_DATA PreparsedData,
                             char* Report, ULONG ReportLength);
NTSTATUS WINAPI HidP_SetData(HIDP_REPORT_TYPE ReportType, HIDP_DATA* DataList,
                             ULONG* DataLength, PHIDP_PREPARSED_DATA PreparsedData,
                             char* Report, ULONG ReportLength);
NTSTATUS WINAPI HidP_GetUsageValueArray(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                        USHORT LinkCollection, USAGE Usage, char* UsageValue,
                                        USHORT UsageValueByteLength,
                                        PHIDP_PREPARSED_DATA PreparsedData, char* Report,
                                        ULONG ReportLength);
NTSTATUS WINAPI HidP_SetUsageValueArray(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                        USHORT LinkCollection, USAGE Usage, char* UsageValue,
                                        USHORT UsageValueByteLength,
                                        PHIDP_PREPARSED_DATA PreparsedData, char* Report,
                                        ULONG ReportLength);
NTSTATUS WINAPI HidP_GetSpecificButtonCaps(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                           USHORT LinkCollection, USAGE Usage,
                                           HIDP_BUTTON_CAPS* ButtonCaps, USHORT* ButtonCapsLength,
                                           PHIDP_PREPARSED_DATA PreparsedData);
NTSTATUS WINAPI HidP_GetSpecificValueCaps(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                          USHORT LinkCollection, USAGE Usage,
                                          HIDP_VALUE_CAPS* ValueCaps, USHORT* ValueCapsLength,
                                          PHIDP_PREPARSED_DATA PreparsedData);

}  // namespace qzplatform::hidshared

#endif  // !_WIN32
