// Run-time binding of the HID class library ("HID.DLL"). The library is loaded on
// first use and every entry point is looked up by name at each call; when the library
// or an entry point is missing, each wrapper returns its defined "missing" result
// (empty text, 0, false or HIDP_STATUS_NULL). Nothing here logs or raises.
#pragma once

#include <cstdint>

#include "qzclasses/text.h"
#include "qzplatform/hid.h"

namespace qz {

// A preparsed-data handle as the HID device record keeps it; 0 when none.
using PreparsedHandle = ULONG_PTR;

// True when HID.DLL is loaded, loading it now if needed. A failed load is retried
// at the next call.
bool LoadHidDll();

void HidD_GetHidGuid(GUID& guid);  // unchanged when missing
// String getters: at most 63 characters; a text shorter than 3 characters is empty.
Text HidD_GetProductString(HANDLE device);
Text HidD_GetManufacturerString(HANDLE device);
Text HidD_GetSerialNumberString(HANDLE device);
Text HidD_GetIndexedString(HANDLE device, ULONG stringIndex);
PreparsedHandle HidD_GetPreparsedData(HANDLE device);
bool HidD_GetAttributes(HANDLE device, HIDD_ATTRIBUTES& attributes);
NTSTATUS HidP_GetCaps(PreparsedHandle preparsed, HIDP_CAPS& caps);
bool HidD_FreePreparsedData(PreparsedHandle preparsed);
// reportType: 0 input, 1 output, 2 feature.
NTSTATUS HidP_GetButtonCaps(std::uint8_t reportType, HIDP_BUTTON_CAPS* caps, USHORT& length,
                            PreparsedHandle preparsed);
NTSTATUS HidP_GetValueCaps(std::uint8_t reportType, HIDP_VALUE_CAPS* caps, USHORT& length,
                           PreparsedHandle preparsed);
// The report readers. `report` is a whole report, report ID first; it is only read.
// Missing entries: 0 for the list lengths, HIDP_STATUS_NULL for the rest.
ULONG HidP_MaxDataListLength(std::uint8_t reportType, PreparsedHandle preparsed);
ULONG HidP_MaxUsageListLength(std::uint8_t reportType, USAGE usagePage, PreparsedHandle preparsed);
NTSTATUS HidP_GetData(std::uint8_t reportType, HIDP_DATA* dataList, ULONG& dataLength,
                      PreparsedHandle preparsed, const void* report, ULONG reportLength);
NTSTATUS HidP_GetUsagesEx(std::uint8_t reportType, USHORT linkCollection,
                          USAGE_AND_PAGE* buttonList, ULONG& usageLength,
                          PreparsedHandle preparsed, const void* report, ULONG reportLength);
NTSTATUS HidP_GetUsageValue(std::uint8_t reportType, USAGE usagePage, USHORT linkCollection,
                            USAGE usage, ULONG& value, PreparsedHandle preparsed,
                            const void* report, ULONG reportLength);
NTSTATUS HidP_GetScaledUsageValue(std::uint8_t reportType, USAGE usagePage,
                                  USHORT linkCollection, USAGE usage, LONG& value,
                                  PreparsedHandle preparsed, const void* report,
                                  ULONG reportLength);
bool HidD_GetInputReport(HANDLE device, void* report, ULONG length);
bool HidD_GetFeature(HANDLE device, void* report, ULONG length);
bool HidD_SetOutputReport(HANDLE device, void* report, ULONG length);
bool HidD_SetFeature(HANDLE device, void* report, ULONG length);
// How many input reports the system keeps for the handle while no read is waiting
// (32 until changed; Windows accepts 2 to 512).
bool HidD_SetNumInputBuffers(HANDLE device, ULONG count);

}  // namespace qz
