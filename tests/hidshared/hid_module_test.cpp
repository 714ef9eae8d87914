// The HID.DLL table every ground shares: its entries, the HID GUID, the string
// entries reaching the ground's getter with the right kind and index, and the
// report functions reading preparsed data through its token.
#include "qzplatform/hidshared/hid_module.h"

#include <gtest/gtest.h>

#include "qzplatform/hidshared/preparsed_tokens.h"

namespace {

using qzplatform::hidshared::HidString;

struct StringCall {
  HANDLE handle = nullptr;
  HidString kind = HidString::kProduct;
  ULONG index = 0;
  PVOID buffer = nullptr;
  ULONG length = 0;
};
StringCall g_last;

BOOLEAN RecordString(HANDLE handle, HidString kind, ULONG index, PVOID buffer, ULONG length) {
  g_last = {handle, kind, index, buffer, length};
  return kind != HidString::kSerialNumber;  // a device without a serial number
}

BOOLEAN WINAPI Attributes(HANDLE, HIDD_ATTRIBUTES*) { return TRUE; }
BOOLEAN WINAPI Preparsed(HANDLE, PHIDP_PREPARSED_DATA*) { return TRUE; }
BOOLEAN WINAPI InputReport(HANDLE, PVOID, ULONG) { return TRUE; }
BOOLEAN WINAPI GetFeature(HANDLE, PVOID, ULONG) { return TRUE; }
BOOLEAN WINAPI OutputReport(HANDLE, PVOID, ULONG) { return TRUE; }
BOOLEAN WINAPI SetFeature(HANDLE, PVOID, ULONG) { return TRUE; }
BOOLEAN WINAPI SetBuffers(HANDLE, ULONG) { return TRUE; }
BOOLEAN WINAPI GetBuffers(HANDLE, ULONG*) { return TRUE; }
BOOLEAN WINAPI Descriptor(HANDLE, PVOID, ULONG, ULONG*) { return TRUE; }

template <typename F>
F Entry(const qzplatform::Module& module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(module.Find(name)));
}

TEST(HidModule, HasTheSeventeenEntriesWithTheGroundsCallsInTheirPlaces) {
  const auto module = qzplatform::hidshared::MakeHidModule(
      {&Attributes, &Preparsed, &InputReport, &GetFeature, &OutputReport, &SetFeature,
       &SetBuffers, &GetBuffers, &Descriptor},
      qzplatform::hidshared::StringEntriesOf<&RecordString>());
  for (const char* name :
       {"HidD_GetHidGuid", "HidD_GetAttributes", "HidD_GetPreparsedData", "HidD_FreePreparsedData",
        "HidP_GetCaps", "HidP_GetButtonCaps", "HidP_GetValueCaps", "HidD_GetProductString",
        "HidD_GetManufacturerString", "HidD_GetSerialNumberString", "HidD_GetIndexedString",
        "HidD_GetInputReport", "HidD_GetFeature", "HidD_SetOutputReport", "HidD_SetFeature",
        "HidD_SetNumInputBuffers", "HidD_GetNumInputBuffers"})
    EXPECT_NE(module->Find(name), nullptr) << name;
  // The report calls are the ground's own, each under its own name.
  EXPECT_EQ(Entry<PFN_HidD_Report>(*module, "HidD_GetFeature"), &GetFeature);
  EXPECT_EQ(Entry<PFN_HidD_Report>(*module, "HidD_SetFeature"), &SetFeature);
  EXPECT_EQ(Entry<PFN_HidD_Report>(*module, "HidD_GetInputReport"), &InputReport);
  EXPECT_EQ(Entry<PFN_HidD_Report>(*module, "HidD_SetOutputReport"), &OutputReport);
  EXPECT_EQ(Entry<PFN_HidD_SetNumInputBuffers>(*module, "HidD_SetNumInputBuffers"), &SetBuffers);
  EXPECT_EQ(Entry<PFN_HidD_GetNumInputBuffers>(*module, "HidD_GetNumInputBuffers"), &GetBuffers);
  EXPECT_EQ(Entry<PFN_QzHidD_GetReportDescriptor>(*module, kQzGetReportDescriptorEntry), &Descriptor);

  GUID guid{};
  Entry<PFN_HidD_GetHidGuid>(*module, "HidD_GetHidGuid")(&guid);
  EXPECT_EQ(guid.Data1, 0x4D1E55B2u);
  EXPECT_EQ(guid.Data4[7], 0x30);
  Entry<PFN_HidD_GetHidGuid>(*module, "HidD_GetHidGuid")(nullptr);  // ignored, no crash
}

TEST(HidModule, ReportDescriptorCopyTellsTheLengthAndRefusesAShortBuffer) {
  const std::vector<std::uint8_t> descriptor{0x05, 0x01, 0x09, 0x02};
  std::uint8_t buffer[4] = {};
  ULONG length = 0;
  EXPECT_EQ(qzplatform::hidshared::CopyReportDescriptor(descriptor, buffer, 3, &length),
            static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(qzplatform::hidshared::CopyReportDescriptor(descriptor, buffer, 4, &length),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 4), descriptor);
}

TEST(HidModule, StringEntriesPassKindIndexAndBufferThrough) {
  const auto module = qzplatform::hidshared::MakeHidModule(
      {&Attributes, &Preparsed, &InputReport, &GetFeature, &OutputReport, &SetFeature,
       &SetBuffers, &GetBuffers, &Descriptor},
      qzplatform::hidshared::StringEntriesOf<&RecordString>());
  auto* handle = reinterpret_cast<HANDLE>(0x44);
  char16_t buffer[8];
  const struct {
    const char* name;
    HidString kind;
  } plain[] = {{"HidD_GetProductString", HidString::kProduct},
               {"HidD_GetManufacturerString", HidString::kManufacturer},
               {"HidD_GetSerialNumberString", HidString::kSerialNumber}};
  for (const auto& c : plain) {
    SCOPED_TRACE(c.name);
    g_last = {};
    const BOOLEAN ok = Entry<PFN_HidD_GetString>(*module, c.name)(handle, buffer, 16);
    EXPECT_EQ(ok, c.kind != HidString::kSerialNumber) << "the getter's result comes back";
    EXPECT_EQ(g_last.kind, c.kind);
    EXPECT_EQ(g_last.handle, handle);
    EXPECT_EQ(g_last.buffer, buffer);
    EXPECT_EQ(g_last.length, 16u);
    EXPECT_EQ(g_last.index, 0u);
  }
  g_last = {};
  EXPECT_TRUE(
      Entry<PFN_HidD_GetIndexedString>(*module, "HidD_GetIndexedString")(handle, 7, buffer, 10));
  EXPECT_EQ(g_last.kind, HidString::kIndexed);
  EXPECT_EQ(g_last.index, 7u);
  EXPECT_EQ(g_last.length, 10u);
}

// The report functions work on the token HidD_GetPreparsedData hands out, and
// refuse a freed one as Windows refuses preparsed data it does not know.
TEST(HidModule, ReportFunctionsReadThePreparsedDataBehindTheToken) {
  const auto module = qzplatform::hidshared::MakeHidModule(
      {&Attributes, &Preparsed, &InputReport, &GetFeature, &OutputReport, &SetFeature,
       &SetBuffers, &GetBuffers, &Descriptor},
      qzplatform::hidshared::StringEntriesOf<&RecordString>());
  // Buttons 1-8, then X with physical extents 0..1000.
  const std::vector<std::uint8_t> descriptor = {
      0x05, 0x01, 0x09, 0x04, 0xA1, 0x01, 0x05, 0x09, 0x19, 0x01, 0x29, 0x08, 0x15, 0x00,
      0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x05, 0x01, 0x09, 0x30, 0x26, 0xFF,
      0x00, 0x46, 0xE8, 0x03, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xC0};
  const auto parsed = hidparse::Parse(descriptor);
  ASSERT_TRUE(parsed.ok()) << parsed.error;
  PHIDP_PREPARSED_DATA token = qzplatform::hidshared::NewPreparsedToken(parsed.collections[0]);

  char report[3] = {'\x55', '\x55', '\x55'};
  ASSERT_EQ(Entry<PFN_HidP_InitializeReportForID>(*module, "HidP_InitializeReportForID")(
                HidP_Input, 0, token, report, 3),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(Entry<PFN_HidP_MaxUsageListLength>(*module, "HidP_MaxUsageListLength")(
                HidP_Input, 0x09, token),
            8u);
  USAGE buttons[2] = {3, 5};
  ULONG count = 2;
  ASSERT_EQ(Entry<PFN_HidP_Usages>(*module, "HidP_SetUsages")(HidP_Input, 0x09, 0, buttons,
                                                               &count, token, report, 3),
            HIDP_STATUS_SUCCESS);
  count = 1;
  ASSERT_EQ(Entry<PFN_HidP_Usages>(*module, "HidP_UnsetUsages")(HidP_Input, 0x09, 0, buttons,
                                                                 &count, token, report, 3),
            HIDP_STATUS_SUCCESS);
  count = 2;
  ASSERT_EQ(Entry<PFN_HidP_Usages>(*module, "HidP_GetUsages")(HidP_Input, 0x09, 0, buttons,
                                                               &count, token, report, 3),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(buttons[0], 5);
  ASSERT_EQ(Entry<PFN_HidP_SetScaledUsageValue>(*module, "HidP_SetScaledUsageValue")(
                HidP_Input, 0x01, 0, 0x30, 200, token, report, 3),
            HIDP_STATUS_SUCCESS);
  ULONG raw = 0;
  ASSERT_EQ(Entry<PFN_HidP_GetUsageValue>(*module, "HidP_GetUsageValue")(
                HidP_Input, 0x01, 0, 0x30, &raw, token, report, 3),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(raw, 51u);
  ASSERT_EQ(Entry<PFN_HidP_SetUsageValue>(*module, "HidP_SetUsageValue")(
                HidP_Input, 0x01, 0, 0x30, 255, token, report, 3),
            HIDP_STATUS_SUCCESS);
  LONG scaled = 0;
  ASSERT_EQ(Entry<PFN_HidP_GetScaledUsageValue>(*module, "HidP_GetScaledUsageValue")(
                HidP_Input, 0x01, 0, 0x30, &scaled, token, report, 3),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(scaled, 1000);

  USAGE_AND_PAGE pressed[2] = {};
  count = 2;
  ASSERT_EQ(Entry<PFN_HidP_GetUsagesEx>(*module, "HidP_GetUsagesEx")(HidP_Input, 0, pressed,
                                                                      &count, token, report, 3),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(pressed[0].UsagePage, 0x09);
  EXPECT_EQ(Entry<PFN_HidP_MaxDataListLength>(*module, "HidP_MaxDataListLength")(HidP_Input,
                                                                                  token),
            9u);
  HIDP_DATA entries[9] = {};
  count = 9;
  ASSERT_EQ(Entry<PFN_HidP_Data>(*module, "HidP_GetData")(HidP_Input, entries, &count, token,
                                                           report, 3),
            HIDP_STATUS_SUCCESS);
  ASSERT_EQ(count, 2u);  // button 5, then X
  EXPECT_EQ(entries[0].DataIndex, 4);
  EXPECT_EQ(entries[1].RawValue, 255u);
  entries[0].On = FALSE;
  count = 1;
  ASSERT_EQ(Entry<PFN_HidP_Data>(*module, "HidP_SetData")(HidP_Input, entries, &count, token,
                                                           report, 3),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(report[1], 0);
  char bytes[2] = {};
  EXPECT_EQ(Entry<PFN_HidP_UsageValueArray>(*module, "HidP_GetUsageValueArray")(
                HidP_Input, 0x01, 0, 0x30, bytes, 2, token, report, 3),
            HIDP_STATUS_NOT_VALUE_ARRAY);
  EXPECT_EQ(Entry<PFN_HidP_UsageValueArray>(*module, "HidP_SetUsageValueArray")(
                HidP_Input, 0x01, 0, 0x30, bytes, 2, token, report, 3),
            HIDP_STATUS_NOT_VALUE_ARRAY);
  HIDP_BUTTON_CAPS button_caps[1] = {};
  USHORT caps_length = 1;
  EXPECT_EQ(Entry<PFN_HidP_GetSpecificButtonCaps>(*module, "HidP_GetSpecificButtonCaps")(
                HidP_Input, 0x09, 0, 5, button_caps, &caps_length, token),
            HIDP_STATUS_SUCCESS);
  HIDP_VALUE_CAPS value_caps[1] = {};
  caps_length = 1;
  EXPECT_EQ(Entry<PFN_HidP_GetSpecificValueCaps>(*module, "HidP_GetSpecificValueCaps")(
                HidP_Input, 0x01, 0, 0x30, value_caps, &caps_length, token),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(value_caps[0].PhysicalMax, 1000);

  ASSERT_TRUE(qzplatform::hidshared::HidD_FreePreparsedData(token));
  EXPECT_EQ(Entry<PFN_HidP_GetUsageValue>(*module, "HidP_GetUsageValue")(
                HidP_Input, 0x01, 0, 0x30, &raw, token, report, 3),
            HIDP_STATUS_INVALID_PREPARSED_DATA);
  EXPECT_EQ(Entry<PFN_HidP_MaxUsageListLength>(*module, "HidP_MaxUsageListLength")(
                HidP_Input, 0x09, token),
            0u);
}

}  // namespace
