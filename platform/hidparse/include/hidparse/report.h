// The HidP_ report functions over preparsed data: build a report, read and write
// its buttons and values. Windows' argument order and statuses; byte 0 of every
// report is its report ID (0 when the device uses none). Checks run in Windows'
// order: preparsed data, report type, report length, then the usage and the
// report ID. Nothing is read or written outside the caller's buffers.
#pragma once

#include "hidparse/hidparse.h"

namespace hidparse {

// Zeroes the report and sets its ID byte. REPORT_DOES_NOT_EXIST when `report_id`
// is not one of this collection's reports of that type.
NTSTATUS InitializeReportForId(HIDP_REPORT_TYPE type, UCHAR report_id, const PreparsedData* data,
                               char* report, ULONG report_length);

// How many button usages of `usage_page` (0: any page) one report of that type
// can hold; 0 for an invalid report type or preparsed data.
ULONG MaxUsageListLength(HIDP_REPORT_TYPE type, USAGE usage_page, const PreparsedData* data);

// The buttons of `usage_page` that are on in the report, in stored cap order.
// `link_collection` 0 means any collection. A short list is filled as far as it
// goes, gets BUFFER_TOO_SMALL and the count needed.
NTSTATUS GetUsages(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                   USAGE* usage_list, ULONG* usage_length, const PreparsedData* data,
                   const char* report, ULONG report_length);

// GetUsages over every usage page, each usage with its page.
NTSTATUS GetUsagesEx(HIDP_REPORT_TYPE type, USHORT link_collection, USAGE_AND_PAGE* usage_list,
                     ULONG* usage_length, const PreparsedData* data, const char* report,
                     ULONG report_length);

// Turns the listed buttons on (off). They are handled in list order and the first
// failure stops: `usage_length` then gives the index of the usage that failed.
NTSTATUS SetUsages(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                   const USAGE* usage_list, ULONG* usage_length, const PreparsedData* data,
                   char* report, ULONG report_length);
NTSTATUS UnsetUsages(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                     const USAGE* usage_list, ULONG* usage_length, const PreparsedData* data,
                     char* report, ULONG report_length);

// A value's raw bits (the first field of a usage value array).
NTSTATUS GetUsageValue(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                       USAGE usage, ULONG* value, const PreparsedData* data, const char* report,
                       ULONG report_length);
NTSTATUS SetUsageValue(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                       USAGE usage, ULONG value, const PreparsedData* data, char* report,
                       ULONG report_length);

// A value in physical units, scaled between the logical and physical extents
// (a physical range of 0 to 0 means the logical one).
NTSTATUS GetScaledUsageValue(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                             USAGE usage, LONG* value, const PreparsedData* data,
                             const char* report, ULONG report_length);
NTSTATUS SetScaledUsageValue(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                             USAGE usage, LONG value, const PreparsedData* data, char* report,
                             ULONG report_length);

}  // namespace hidparse
