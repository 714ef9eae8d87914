// Loading a HID device record from the device: strings, attributes, the capability
// summary and the six capability tables; and opening a device path.
#include "qzhid/hid.h"
#include "qzsysutils/qzsysutils.h"

namespace qz {
namespace {

// Replaces `table` with `count` zero-filled entries filled by the HID library; false,
// with no table, when the count is 0.
template <typename Caps, typename Query>
bool LoadTable(std::vector<Caps>& table, std::uint16_t count, std::uint8_t reportType,
               PreparsedHandle ppd, Query query) {
  if (count == 0) {
    table.clear();
    return false;
  }
  table.assign(count, Caps{});
  USHORT length = count;
  query(reportType, table.data(), length, ppd);  // status and returned count are not used
  return true;
}

// Releases the preparsed data and the handle of one LoadDeviceInfo, on every path.
struct LoadCleanup {
  TqzHidDevice& device;
  HANDLE handle;
  ~LoadCleanup() {
    if (device.fPpd != 0) {
      HidD_FreePreparsedData(device.fPpd);
      device.fPpd = 0;
    }
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};

}  // namespace

HANDLE TqzHid::OpenDeviceFile(const Text& path, bool read, bool write, bool shared,
                              bool overlapped) {
  DWORD access = (read ? GENERIC_READ : 0) | (write ? GENERIC_WRITE : 0);
  DWORD share = shared ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
  return CreateFileW(qzplatform::AsWide(path), access, share, nullptr, OPEN_EXISTING,
                     overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
}

bool TqzHid::LoadDeviceInfo(TqzHidDevice& device, bool readStrings) {
  const Text& path = device.NameSymbolic;
  HANDLE handle = OpenDeviceFile(path, false, false, true, false);
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION) {
      LogAddFmt(dlDebug, u"Open device FAILED %s %x %s", {path, error, SysErrorMessage(error)});
      return false;
    }
  }
  LoadCleanup cleanup{device, handle};
  LogAddFmt(dlDebug, u"Open device OK %s ", {path});

  if (readStrings && handle != INVALID_HANDLE_VALUE) {
    Text product = HidD_GetProductString(handle);
    if (!product.empty()) device.NameFriendly = product;
    LogAdd(dlDebug, u"... GetProductString() done");
    Text manufacturer = HidD_GetManufacturerString(handle);
    if (!manufacturer.empty()) device.Manufacturer = manufacturer;
    LogAdd(dlDebug, u"... GetManufacturerString() done");
    Text serial = HidD_GetSerialNumberString(handle);
    if (serial.empty()) serial = HidD_GetIndexedString(handle, 3);
    if (!serial.empty()) device.SerialNumber = serial;
    LogAdd(dlDebug, u"... GetSerialNumberString() done");
  }
  if (device.NameFriendly.empty()) device.NameFriendly = device.Description;

  if (handle != INVALID_HANDLE_VALUE) {
    device.fPpd = HidD_GetPreparsedData(handle);
    if (device.fPpd == 0) {
      LogAdd(dlDebug, u"ERROR: dev.fPpd = 0 ");
      return false;
    }
    if (!HidD_GetAttributes(handle, device.fAttributes)) {
      LogAdd(dlDebug, u"ERROR: not HidD_GetAttributes");
      return false;
    }
    if (HidP_GetCaps(device.fPpd, device.fCaps) != HIDP_STATUS_SUCCESS) {
      LogAdd(dlDebug, u"ERROR: HidP_GetCaps() <> HIDP_STATUS_SUCCESS");
      return false;
    }
  }

  // Without preparsed data (the device is in exclusive use) nothing could fill the
  // tables, so the ones an earlier load gave are kept rather than zeroed.
  if (device.fPpd != 0) {
    const PreparsedHandle ppd = device.fPpd;
    auto buttons = [&](std::vector<HIDP_BUTTON_CAPS>& table, int code, std::uint8_t type) {
      if (LoadTable(table, device.GetCount(code), type, ppd, HidP_GetButtonCaps))
        LogAddFmt(dlDebug, u"... GetButtonCaps %d done", {type});
    };
    auto values = [&](std::vector<HIDP_VALUE_CAPS>& table, int code, std::uint8_t type) {
      if (LoadTable(table, device.GetCount(code), type, ppd, HidP_GetValueCaps))
        LogAddFmt(dlDebug, u"... GetValueCaps %d done", {type});
    };
    buttons(device.fCapsInputButtons, hcInputButtons, HidP_Input);
    values(device.fCapsInputValues, hcInputValues, HidP_Input);
    buttons(device.fCapsOutputButtons, hcOutputButtons, HidP_Output);
    values(device.fCapsOutputValues, hcOutputValues, HidP_Output);
    buttons(device.fCapsFeatureButtons, hcFeatureButtons, HidP_Feature);
    values(device.fCapsFeatureValues, hcFeatureValues, HidP_Feature);
  }
  return true;
}

}  // namespace qz
