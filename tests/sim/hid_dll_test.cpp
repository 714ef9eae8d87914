// The sim ground's HID.DLL: binding by name, missing module and entries, attributes,
// strings, preparsed data tracking, caps per collection and report requests.
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "qzplatform/trace.h"
#include "sim_fixture.h"
#include "test_devices.h"

namespace simtest {
namespace {

std::string Pointer(const void* p) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%" PRIxPTR, reinterpret_cast<std::uintptr_t>(p));
  return text;
}

class HidDllTest : public SimTest {
 protected:
  void SetUp() override { Load(kDevices); }
};

// The table itself is the shared one (tests/hidshared); here the ground's binding.
TEST_F(HidDllTest, ModuleIsFoundByNameAndCanBeHidden) {
  {
    HidDll hid;
    ASSERT_NE(hid.module, nullptr);
    EXPECT_NE(hid.GetFeature, nullptr);
  }
  qzplatform::HideEntry(u"hid.dll", "HidD_GetFeature");
  {
    HidDll hid;
    ASSERT_NE(hid.module, nullptr);
    EXPECT_EQ(hid.GetFeature, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_NE(hid.SetFeature, nullptr);
  }
  qzplatform::HideModule(u"HID.DLL");
  HidDll missing;
  EXPECT_EQ(missing.module, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

// The ground's own entries and the shared ones both go through the trace switch.
TEST_F(HidDllTest, EntriesAreTracedWhenHidIsSwitchedOn) {
  HidDll hid;
  const unsigned saved = qzplatform::trace::enabled.exchange(qzplatform::trace::kHid);
  testing::internal::CaptureStderr();
  HIDD_ATTRIBUTES a{};
  hid.GetAttributes(reinterpret_cast<HANDLE>(0x7ff0), &a);
  hid.GetSerialNumberString(reinterpret_cast<HANDLE>(0x7ff0), nullptr, 0);
  const std::string text = testing::internal::GetCapturedStderr();
  qzplatform::trace::enabled = saved;
  EXPECT_EQ(text, "qz-trace HidD_GetAttributes(0x7ff0, " + Pointer(&a) + ") -> 0 error=6\n"
                  "qz-trace HidD_GetSerialNumberString(0x7ff0, null, 0) -> 0 error=6\n");
}

TEST_F(HidDllTest, AttributesAndCallsOnBadOrDeadHandles) {
  HidDll hid;
  Handle h = Open(Path(kEcho), 0);
  HIDD_ATTRIBUTES a{};
  ASSERT_TRUE(hid.GetAttributes(h.get(), &a));
  EXPECT_EQ(a.Size, sizeof(HIDD_ATTRIBUTES));
  EXPECT_EQ(a.VendorID, 0x1209);
  EXPECT_EQ(a.ProductID, 0x0003);
  EXPECT_EQ(a.VersionNumber, 0x0201);

  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  EXPECT_FALSE(hid.GetAttributes(event, &a)) << "an event is no HID device";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  CloseHandle(event);
  EXPECT_FALSE(hid.GetAttributes(h.get(), nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOACCESS));

  machine_->Unplug(kEcho);
  EXPECT_FALSE(hid.GetAttributes(h.get(), &a));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
  machine_->Replug(kEcho);
  EXPECT_FALSE(hid.GetAttributes(h.get(), &a)) << "a handle from before the unplug";
}

TEST(HidDllStrings, CopyWhatFitsTheByteLength) {
  // Indexed strings of 0, 2, 3, 63 and 64 characters; the library passes 126 bytes.
  std::string json = R"({"devices": [{"vendor_id": 1, "product_id": 2,
      "report_descriptor": "06 00 FF 09 01 A1 01 75 08 95 01 09 01 81 02 C0",
      "strings": {"product": "Pad", "indexed": {)";
  const std::size_t lengths[] = {0, 2, 3, 63, 64};
  for (std::size_t i = 0; i < std::size(lengths); ++i) {
    std::string text;
    for (std::size_t k = 0; k < lengths[i]; ++k) text += static_cast<char>('A' + k % 26);
    json += (i ? ", " : "") + ("\"" + std::to_string(i + 1) + "\": \"" + text + "\"");
  }
  json += "}}}]}";
  auto machine = qzplatform::sim::Install(qzplatform::sim::Machine::LoadJson(json));
  {
    HidDll hid;
    Handle h(CreateFileW(qzplatform::AsWide(machine->InterfacePath(0)), 0, kShareAll, nullptr,
                         OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(h.valid());
    for (std::size_t i = 0; i < std::size(lengths); ++i) {
      SCOPED_TRACE("length " + std::to_string(lengths[i]));
      char16_t buffer[65];
      std::fill(std::begin(buffer), std::end(buffer), u'#');
      ASSERT_TRUE(hid.GetIndexedString(h.get(), static_cast<ULONG>(i + 1), buffer, 126));
      const std::size_t copied = std::min<std::size_t>(lengths[i], 63);
      for (std::size_t k = 0; k < copied; ++k) ASSERT_EQ(buffer[k], u'A' + k % 26) << k;
      // The terminator only when there is room; nothing past the 126 bytes.
      if (copied < 63) {
        EXPECT_EQ(buffer[copied], 0);
      }
      EXPECT_EQ(buffer[63], u'#');
      EXPECT_EQ(buffer[64], u'#');
    }
    char16_t small[4] = {u'#', u'#', u'#', u'#'};
    ASSERT_TRUE(hid.GetProductString(h.get(), small, 5)) << "odd lengths hold whole characters";
    EXPECT_EQ(std::u16string(small, 4), u"Pa##");
    EXPECT_FALSE(hid.GetProductString(h.get(), small, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    EXPECT_FALSE(hid.GetSerialNumberString(h.get(), small, sizeof small)) << "no serial";
    EXPECT_FALSE(hid.GetManufacturerString(h.get(), small, sizeof small));
    EXPECT_FALSE(hid.GetIndexedString(h.get(), 9, small, sizeof small));
  }
  qzplatform::SetGround(nullptr);
}

TEST_F(HidDllTest, PreparsedDataIsTrackedUntilFreed) {
  HidDll hid;
  Handle h = Open(Path(kEcho), 0);
  PHIDP_PREPARSED_DATA ppd = nullptr;
  ASSERT_TRUE(hid.GetPreparsedData(h.get(), &ppd));
  h.reset();  // preparsed data outlive the handle
  HIDP_CAPS caps{};
  ASSERT_EQ(hid.GetCaps(ppd, &caps), HIDP_STATUS_SUCCESS);
  EXPECT_EQ(caps.UsagePage, 0xFF00);
  EXPECT_EQ(caps.InputReportByteLength, 65);
  EXPECT_EQ(caps.OutputReportByteLength, 65);
  EXPECT_EQ(caps.FeatureReportByteLength, 9);
  HIDP_VALUE_CAPS values[2]{};
  USHORT count = 2;
  EXPECT_EQ(hid.GetValueCaps(HidP_Input, values, &count, ppd), HIDP_STATUS_SUCCESS);
  EXPECT_EQ(count, caps.NumberInputValueCaps);
  EXPECT_EQ(values[0].ReportCount, 64);
  HIDP_BUTTON_CAPS buttons[1]{};
  count = 1;
  EXPECT_EQ(hid.GetButtonCaps(HidP_Input, buttons, &count, ppd), HIDP_STATUS_USAGE_NOT_FOUND);

  EXPECT_TRUE(hid.FreePreparsedData(ppd));
  EXPECT_EQ(hid.GetCaps(ppd, &caps), HIDP_STATUS_INVALID_PREPARSED_DATA);
  count = 2;
  EXPECT_EQ(hid.GetValueCaps(HidP_Input, values, &count, ppd), HIDP_STATUS_INVALID_PREPARSED_DATA);
  EXPECT_FALSE(hid.FreePreparsedData(ppd)) << "freed twice";
  int forged = 0;
  auto* fake = reinterpret_cast<PHIDP_PREPARSED_DATA>(&forged);
  EXPECT_EQ(hid.GetCaps(fake, &caps), HIDP_STATUS_INVALID_PREPARSED_DATA);
  EXPECT_EQ(hid.GetCaps(nullptr, &caps), HIDP_STATUS_INVALID_PREPARSED_DATA);
  EXPECT_FALSE(hid.FreePreparsedData(fake));
}

TEST_F(HidDllTest, PreparsedDataFlags) {
  HidDll hid;
  Handle h = Open(Path(kEcho), 0);
  auto b = machine_->GetBehaviour(kEcho);
  b.no_preparsed_data = true;
  machine_->SetBehaviour(kEcho, b);
  PHIDP_PREPARSED_DATA ppd = nullptr;
  EXPECT_FALSE(hid.GetPreparsedData(h.get(), &ppd));
  EXPECT_EQ(ppd, nullptr);

  b.no_preparsed_data = false;
  b.fail_caps = true;
  machine_->SetBehaviour(kEcho, b);
  ASSERT_TRUE(hid.GetPreparsedData(h.get(), &ppd));
  HIDP_CAPS caps{};
  EXPECT_NE(hid.GetCaps(ppd, &caps), HIDP_STATUS_SUCCESS);
  EXPECT_TRUE(hid.FreePreparsedData(ppd));
}

TEST_F(HidDllTest, EachCollectionHasItsOwnCaps) {
  HidDll hid;
  HIDP_CAPS caps[2]{};
  for (std::size_t c = 0; c < 2; ++c) {
    Handle h = Open(Path(kCombo, c), 0);
    PHIDP_PREPARSED_DATA ppd = nullptr;
    ASSERT_TRUE(hid.GetPreparsedData(h.get(), &ppd));
    EXPECT_EQ(hid.GetCaps(ppd, &caps[c]), HIDP_STATUS_SUCCESS);
    hid.FreePreparsedData(ppd);
  }
  EXPECT_EQ(caps[0].UsagePage, 0x01);
  EXPECT_EQ(caps[0].Usage, 0x02);
  EXPECT_EQ(caps[0].InputReportByteLength, 4);
  EXPECT_EQ(caps[1].UsagePage, 0x0C);
  EXPECT_EQ(caps[1].InputReportByteLength, 3);
  EXPECT_NE(Path(kCombo, 0).find(u"&col01#"), std::u16string::npos);
  EXPECT_NE(Path(kCombo, 1).find(u"&col02#"), std::u16string::npos);
}

TEST_F(HidDllTest, FeatureReportsAreKeptPerReportId) {
  HidDll hid;
  Handle h = Open(Path(kIds), 0);  // feature requests need no access
  std::uint8_t report[7] = {4, 1, 2, 3, 4, 5, 6};
  ASSERT_TRUE(hid.SetFeature(h.get(), report, sizeof report));
  std::uint8_t got[8] = {3, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  ASSERT_TRUE(hid.GetFeature(h.get(), got, sizeof got));
  EXPECT_EQ(Bytes(got, got + 8), Hex("03 00 00 00 00 00 00 EE")) << "ID 3 is untouched";
  got[0] = 4;
  ASSERT_TRUE(hid.GetFeature(h.get(), got, 7));
  EXPECT_EQ(Bytes(got, got + 7), Bytes(report, report + 7));
  EXPECT_EQ(machine_->FeatureReport(kIds, 4), Bytes(report, report + 7));

  got[0] = 1;  // an input report ID
  EXPECT_FALSE(hid.GetFeature(h.get(), got, 7));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(hid.SetFeature(h.get(), report, 6));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  // A device plugged in again starts from its power-on state.
  machine_->Unplug(kIds);
  machine_->Replug(kIds);
  EXPECT_EQ(machine_->FeatureReport(kIds, 4), Hex("04 00 00 00 00 00 00"));

  // The echo device's initial feature report comes from its description.
  Handle echo = Open(Path(kEcho), 0);
  std::uint8_t feature[9] = {};
  ASSERT_TRUE(hid.GetFeature(echo.get(), feature, sizeof feature));
  EXPECT_EQ(Bytes(feature, feature + 9), Hex("00 11 22 00 00 00 00 00 00"));
}

TEST_F(HidDllTest, InputAndOutputReportRequests) {
  HidDll hid;
  Handle rw = Open(Path(kIds), kReadWrite);
  Handle none = Open(Path(kIds), 0);
  std::uint8_t input[9] = {2};
  ASSERT_TRUE(hid.GetInputReport(rw.get(), input, sizeof input));
  EXPECT_EQ(Bytes(input, input + 9), Hex("02 00 00 00 00 00 00 00 00")) << "nothing sent yet";
  ASSERT_TRUE(machine_->PushInput(kIds, Hex("02 0A 0B")));
  ASSERT_TRUE(hid.GetInputReport(rw.get(), input, sizeof input));
  EXPECT_EQ(Bytes(input, input + 9), Hex("02 0A 0B 00 00 00 00 00 00"));
  EXPECT_FALSE(hid.GetInputReport(none.get(), input, sizeof input));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  std::uint8_t output[5] = {1, 9, 8, 7, 6};
  ASSERT_TRUE(hid.SetOutputReport(rw.get(), output, sizeof output));
  EXPECT_EQ(machine_->TakeOutputReports(kIds), std::vector<Bytes>{Hex("01 09 08 07 06")});
  EXPECT_FALSE(hid.SetOutputReport(none.get(), output, sizeof output));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  output[0] = 2;
  EXPECT_FALSE(hid.SetOutputReport(rw.get(), output, sizeof output));

  // SetOutputReport on the echo device comes back as input.
  Handle echo = Open(Path(kEcho), kReadWrite);
  Bytes report(65, 0);
  report[1] = 0x5A;
  PendingRead read(echo.get(), 65);
  ASSERT_TRUE(hid.SetOutputReport(echo.get(), report.data(), 65));
  EXPECT_EQ(read.Data(), report);
}

}  // namespace
}  // namespace simtest
