// Discovery of the HID device interfaces: enumeration through the device-installation
// interface, loading each record, and keeping the selection by its index.
#include <memory>

#include "qzhid/hid_private.h"
#include "qzplatform/ascii_text.h"
#include "qzwin32di/qzwin32di.h"

namespace qz {
namespace {

// The HID interface class, refreshed by every discovery; left as it was when the HID
// library cannot be reached.
GUID g_hidGuid{};

}  // namespace

void TqzHid::DeviceListLoad() {
  if (flLock) return;
  LogAdd(dlDetail, u"DeviceListLoad ...");
  flLock = true;
  struct Unlock {
    bool& flag;
    ~Unlock() { flag = false; }
  } unlock{flLock};

  DeviceListClear();
  const std::int32_t remembered = GetDeviceIndex();
  HidD_GetHidGuid(g_hidGuid);
  TqzDeviceRecords list;
  DiEnumInstalledDevices(&g_hidGuid, true, true, true, list);
  if (list.empty()) {
    LogAdd(dlDebug, u"DiEnumInstalledDevices() returns 0, trying enum interfaces only ...");
    DiEnumInstalledDevices(&g_hidGuid, true, false, true, list);
  }
  LogAddFmt(dlDebug, u"Get detail info for device (intf) list: %u ",
            {static_cast<std::uint32_t>(list.size())});
  for (auto& entry : list) {
    auto record = std::make_unique<TqzHidDevice>(entry.second.get());
    entry.second.reset();
    if (LoadDeviceInfo(*record, fEnumFullMode)) {
      LogAddFmt(dlDebug, u"Load device info: %s  OK!", {record->NameFriendly});
      AddDevice(record.get());
      record.release();  // the list owns it now
    } else {
      LogAddFmt(dlDebug, u"Load device info: %s  FAILED!", {record->NameFriendly});
    }
  }
  list.clear();

  if (remembered >= 0 && remembered < GetDeviceCount()) {
    SetDeviceIndex(remembered);
  } else {
    // The index stays as a number; the record it named is gone and none replaces it.
    fHidDevice = nullptr;
  }
  {
    // An open device keeps its preparsed data; the record now standing for its path
    // shows it.
    std::lock_guard lock(fPrivate->openLock);
    if (fPrivate->openPreparsed != 0) {
      for (std::int32_t i = 0; i < GetDeviceCount(); ++i) {
        auto* record = dynamic_cast<TqzHidDevice*>(GetDevice(i));
        if (record && qzplatform::EqualAsciiNoCase(record->NameSymbolic, fPrivate->openPath)) {
          AttachOpenRecord(record);
          break;
        }
      }
    }
  }
  LogAddFmt(dlDetail, u"Detected devices: %u ", {static_cast<std::uint32_t>(GetDeviceCount())});
}

void TqzHid::Update() {
  if (flLock) return;
  DeviceListLoad();
  TqzBaseIO::Update();
}

}  // namespace qz
