// HID.DLL bound at run time: one module handle per process, entry points resolved by
// name at every call.
#include "qzhidw32/qzhidw32.h"

#include <atomic>

namespace qz {
namespace {

// Written by the first successful load (on the main thread, during discovery) and
// read by the monitoring thread later; atomic so that read is well defined.
std::atomic<HMODULE> hid_module{nullptr};

// Frees the library at process end. Created after the first successful load, so it
// is destroyed before the system interface's own state.
struct Unloader {
  ~Unloader() {
    if (HMODULE m = hid_module.exchange(nullptr)) FreeLibrary(m);
  }
};

template <typename F>
F Entry(const char* name) {
  if (!LoadHidDll()) return nullptr;
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(hid_module.load(), name)));
}

constexpr ULONG kStringBytes = 126;  // 63 UTF-16 code units
constexpr std::size_t kStringUnits = kStringBytes / 2;
constexpr std::size_t kShortestString = 3;

// The text of a string getter's buffer: up to the first NUL, at most 63 units, and
// empty when shorter than 3 characters.
Text StringResult(bool ok, const WCHAR* buffer) {
  if (!ok) return u"";
  std::size_t n = 0;
  while (n < kStringUnits && buffer[n] != 0) ++n;
  if (n < kShortestString) return u"";
  return Text(reinterpret_cast<const char16_t*>(buffer), n);
}

Text GetString(const char* name, HANDLE device) {
  auto f = Entry<PFN_HidD_GetString>(name);
  if (!f) return u"";
  WCHAR buffer[kStringUnits + 1] = {};
  return StringResult(f(device, buffer, kStringBytes) != 0, buffer);
}

bool Report(const char* name, HANDLE device, void* report, ULONG length) {
  auto f = Entry<PFN_HidD_Report>(name);
  return f && f(device, report, length) != 0;
}

PHIDP_PREPARSED_DATA AsPreparsedData(PreparsedHandle preparsed) {
  return reinterpret_cast<PHIDP_PREPARSED_DATA>(preparsed);
}

HIDP_REPORT_TYPE AsReportType(std::uint8_t reportType) {
  return static_cast<HIDP_REPORT_TYPE>(reportType);
}

// The readers take the report as a PCHAR but never write to it.
char* AsReportBuffer(const void* report) { return static_cast<char*>(const_cast<void*>(report)); }

}  // namespace

bool LoadHidDll() {
  if (hid_module.load() != nullptr) return true;
  HMODULE m = LoadLibraryW(qzplatform::AsWide(Text(u"HID.DLL")));
  if (!m) return false;
  HMODULE expected = nullptr;
  if (!hid_module.compare_exchange_strong(expected, m)) {
    FreeLibrary(m);  // another thread loaded it first
    return true;
  }
  static Unloader unloader;
  return true;
}

void HidD_GetHidGuid(GUID& guid) {
  if (auto f = Entry<PFN_HidD_GetHidGuid>("HidD_GetHidGuid")) f(&guid);
}

Text HidD_GetProductString(HANDLE device) { return GetString("HidD_GetProductString", device); }
Text HidD_GetManufacturerString(HANDLE device) {
  return GetString("HidD_GetManufacturerString", device);
}
Text HidD_GetSerialNumberString(HANDLE device) {
  return GetString("HidD_GetSerialNumberString", device);
}

Text HidD_GetIndexedString(HANDLE device, ULONG stringIndex) {
  auto f = Entry<PFN_HidD_GetIndexedString>("HidD_GetIndexedString");
  if (!f) return u"";
  WCHAR buffer[kStringUnits + 1] = {};
  return StringResult(f(device, stringIndex, buffer, kStringBytes) != 0, buffer);
}

PreparsedHandle HidD_GetPreparsedData(HANDLE device) {
  auto f = Entry<PFN_HidD_GetPreparsedData>("HidD_GetPreparsedData");
  if (!f) return 0;
  PHIDP_PREPARSED_DATA preparsed = nullptr;
  f(device, &preparsed);
  return reinterpret_cast<PreparsedHandle>(preparsed);
}

bool HidD_GetAttributes(HANDLE device, HIDD_ATTRIBUTES& attributes) {
  auto f = Entry<PFN_HidD_GetAttributes>("HidD_GetAttributes");
  return f && f(device, &attributes) != 0;
}

NTSTATUS HidP_GetCaps(PreparsedHandle preparsed, HIDP_CAPS& caps) {
  auto f = Entry<PFN_HidP_GetCaps>("HidP_GetCaps");
  return f ? f(AsPreparsedData(preparsed), &caps) : HIDP_STATUS_NULL;
}

bool HidD_FreePreparsedData(PreparsedHandle preparsed) {
  auto f = Entry<PFN_HidD_FreePreparsedData>("HidD_FreePreparsedData");
  return f && f(AsPreparsedData(preparsed)) != 0;
}

NTSTATUS HidP_GetButtonCaps(std::uint8_t reportType, HIDP_BUTTON_CAPS* caps, USHORT& length,
                            PreparsedHandle preparsed) {
  auto f = Entry<PFN_HidP_GetButtonCaps>("HidP_GetButtonCaps");
  return f ? f(AsReportType(reportType), caps, &length, AsPreparsedData(preparsed))
           : HIDP_STATUS_NULL;
}

NTSTATUS HidP_GetValueCaps(std::uint8_t reportType, HIDP_VALUE_CAPS* caps, USHORT& length,
                           PreparsedHandle preparsed) {
  auto f = Entry<PFN_HidP_GetValueCaps>("HidP_GetValueCaps");
  return f ? f(AsReportType(reportType), caps, &length, AsPreparsedData(preparsed))
           : HIDP_STATUS_NULL;
}

ULONG HidP_MaxDataListLength(std::uint8_t reportType, PreparsedHandle preparsed) {
  auto f = Entry<PFN_HidP_MaxDataListLength>("HidP_MaxDataListLength");
  return f ? f(AsReportType(reportType), AsPreparsedData(preparsed)) : 0;
}

ULONG HidP_MaxUsageListLength(std::uint8_t reportType, USAGE usagePage, PreparsedHandle preparsed) {
  auto f = Entry<PFN_HidP_MaxUsageListLength>("HidP_MaxUsageListLength");
  return f ? f(AsReportType(reportType), usagePage, AsPreparsedData(preparsed)) : 0;
}

NTSTATUS HidP_GetData(std::uint8_t reportType, HIDP_DATA* dataList, ULONG& dataLength,
                      PreparsedHandle preparsed, const void* report, ULONG reportLength) {
  auto f = Entry<PFN_HidP_Data>("HidP_GetData");
  return f ? f(AsReportType(reportType), dataList, &dataLength, AsPreparsedData(preparsed),
               AsReportBuffer(report), reportLength)
           : HIDP_STATUS_NULL;
}

NTSTATUS HidP_SetData(std::uint8_t reportType, HIDP_DATA* dataList, ULONG& dataLength,
                      PreparsedHandle preparsed, void* report, ULONG reportLength) {
  auto f = Entry<PFN_HidP_Data>("HidP_SetData");
  return f ? f(AsReportType(reportType), dataList, &dataLength, AsPreparsedData(preparsed),
               static_cast<char*>(report), reportLength)
           : HIDP_STATUS_NULL;
}

NTSTATUS HidP_GetUsagesEx(std::uint8_t reportType, USHORT linkCollection,
                          USAGE_AND_PAGE* buttonList, ULONG& usageLength,
                          PreparsedHandle preparsed, const void* report, ULONG reportLength) {
  auto f = Entry<PFN_HidP_GetUsagesEx>("HidP_GetUsagesEx");
  return f ? f(AsReportType(reportType), linkCollection, buttonList, &usageLength,
               AsPreparsedData(preparsed), AsReportBuffer(report), reportLength)
           : HIDP_STATUS_NULL;
}

NTSTATUS HidP_GetUsageValue(std::uint8_t reportType, USAGE usagePage, USHORT linkCollection,
                            USAGE usage, ULONG& value, PreparsedHandle preparsed,
                            const void* report, ULONG reportLength) {
  auto f = Entry<PFN_HidP_GetUsageValue>("HidP_GetUsageValue");
  return f ? f(AsReportType(reportType), usagePage, linkCollection, usage, &value,
               AsPreparsedData(preparsed), AsReportBuffer(report), reportLength)
           : HIDP_STATUS_NULL;
}

NTSTATUS HidP_GetScaledUsageValue(std::uint8_t reportType, USAGE usagePage,
                                  USHORT linkCollection, USAGE usage, LONG& value,
                                  PreparsedHandle preparsed, const void* report,
                                  ULONG reportLength) {
  auto f = Entry<PFN_HidP_GetScaledUsageValue>("HidP_GetScaledUsageValue");
  return f ? f(AsReportType(reportType), usagePage, linkCollection, usage, &value,
               AsPreparsedData(preparsed), AsReportBuffer(report), reportLength)
           : HIDP_STATUS_NULL;
}

bool HidD_GetInputReport(HANDLE device, void* report, ULONG length) {
  return Report("HidD_GetInputReport", device, report, length);
}
bool HidD_GetFeature(HANDLE device, void* report, ULONG length) {
  return Report("HidD_GetFeature", device, report, length);
}
bool HidD_SetOutputReport(HANDLE device, void* report, ULONG length) {
  return Report("HidD_SetOutputReport", device, report, length);
}
bool HidD_SetFeature(HANDLE device, void* report, ULONG length) {
  return Report("HidD_SetFeature", device, report, length);
}

bool HidD_SetNumInputBuffers(HANDLE device, ULONG count) {
  auto f = Entry<PFN_HidD_SetNumInputBuffers>("HidD_SetNumInputBuffers");
  return f && f(device, count) != 0;
}

}  // namespace qz
