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

// All fields of a usage value array (one usage over several fields), packed as
// the report packs them. NOT_VALUE_ARRAY for any other value; BUFFER_TOO_SMALL
// when `buffer_length` cannot hold them; NOT_IMPLEMENTED for fields that are not
// whole bytes.
NTSTATUS GetUsageValueArray(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                            USAGE usage, char* buffer, USHORT buffer_length,
                            const PreparsedData* data, const char* report, ULONG report_length);
NTSTATUS SetUsageValueArray(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                            USAGE usage, const char* buffer, USHORT buffer_length,
                            const PreparsedData* data, char* report, ULONG report_length);

// A value in physical units, scaled between the logical and physical extents
// (a physical range of 0 to 0 means the logical one).
NTSTATUS GetScaledUsageValue(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                             USAGE usage, LONG* value, const PreparsedData* data,
                             const char* report, ULONG report_length);
NTSTATUS SetScaledUsageValue(HIDP_REPORT_TYPE type, USAGE usage_page, USHORT link_collection,
                             USAGE usage, LONG value, const PreparsedData* data, char* report,
                             ULONG report_length);

// How many entries HidP_GetData can return for one report of that type: every
// button one report can hold and every value outside usage value arrays.
ULONG MaxDataListLength(HIDP_REPORT_TYPE type, const PreparsedData* data);

// The report as (data index, value) entries in ascending data index: each button
// that is on (RawValue 1) and each value's raw bits; usage value arrays are left
// out. REPORT_DOES_NOT_EXIST when byte 0 names no report of that type.
NTSTATUS GetData(HIDP_REPORT_TYPE type, HIDP_DATA* data_list, ULONG* data_length,
                 const PreparsedData* data, const char* report, ULONG report_length);

// Sets each entry in list order; the first failure stops and leaves its index in
// `data_length`. An index beyond the type's count is DATA_INDEX_OUT_OF_RANGE, one
// no cap of any report holds DATA_INDEX_NOT_FOUND, one of a usage value array
// IS_VALUE_ARRAY.
NTSTATUS SetData(HIDP_REPORT_TYPE type, const HIDP_DATA* data_list, ULONG* data_length,
                 const PreparsedData* data, char* report, ULONG report_length);

}  // namespace hidparse
