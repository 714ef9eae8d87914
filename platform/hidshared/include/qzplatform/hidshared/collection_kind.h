// What Windows' HID class installer makes of a top-level collection of a given usage:
// its setup class, device description and service. Also the HID GUIDs and GUID text.
#pragma once

#ifndef _WIN32

#include <string>

#include "qzplatform/win32.h"

namespace qzplatform::hidshared {

// {4D1E55B2-F16F-11CF-88CB-001111000030}: the HID device interface class.
inline constexpr GUID kHidInterfaceGuid = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
// {745A17A0-74D3-11D0-B6FE-00A0C90F57DA}: the HID device setup class.
inline constexpr GUID kHidClassGuid = {
    0x745A17A0, 0x74D3, 0x11D0, {0xB6, 0xFE, 0x00, 0xA0, 0xC9, 0x0F, 0x57, 0xDA}};
// {36FC9E60-C465-11CF-8056-444553540000}: the USB setup class.
inline constexpr GUID kUsbClassGuid = {
    0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID kMouseClassGuid = {
    0x4D36E96F, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
inline constexpr GUID kKeyboardClassGuid = {
    0x4D36E96B, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

struct CollectionKind {
  GUID class_guid;
  const char16_t* description;
  const char16_t* service;
};

CollectionKind KindOf(USHORT usage_page, USHORT usage);

}  // namespace qzplatform::hidshared

#endif  // !_WIN32
