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
bool HidD_GetInputReport(HANDLE device, void* report, ULONG length);
bool HidD_GetFeature(HANDLE device, void* report, ULONG length);
bool HidD_SetOutputReport(HANDLE device, void* report, ULONG length);
bool HidD_SetFeature(HANDLE device, void* report, ULONG length);
// How many input reports the system keeps for the handle while no read is waiting
// (32 until changed; Windows accepts 2 to 512).
bool HidD_SetNumInputBuffers(HANDLE device, ULONG count);

}  // namespace qz
