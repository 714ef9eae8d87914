// The HID.DLL table every ground shares: its seventeen entries, the HID GUID, and the
// string entries reaching the ground's getter with the right kind and index.
#include "qzplatform/hidshared/hid_module.h"

#include <gtest/gtest.h>

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

template <typename F>
F Entry(const qzplatform::Module& module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(module.Find(name)));
}

TEST(HidModule, HasTheSeventeenEntriesWithTheGroundsCallsInTheirPlaces) {
  const auto module = qzplatform::hidshared::MakeHidModule(
      {&Attributes, &Preparsed, &InputReport, &GetFeature, &OutputReport, &SetFeature,
       &SetBuffers, &GetBuffers},
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

  GUID guid{};
  Entry<PFN_HidD_GetHidGuid>(*module, "HidD_GetHidGuid")(&guid);
  EXPECT_EQ(guid.Data1, 0x4D1E55B2u);
  EXPECT_EQ(guid.Data4[7], 0x30);
  Entry<PFN_HidD_GetHidGuid>(*module, "HidD_GetHidGuid")(nullptr);  // ignored, no crash
}

TEST(HidModule, StringEntriesPassKindIndexAndBufferThrough) {
  const auto module = qzplatform::hidshared::MakeHidModule(
      {&Attributes, &Preparsed, &InputReport, &GetFeature, &OutputReport, &SetFeature,
       &SetBuffers, &GetBuffers},
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

}  // namespace
