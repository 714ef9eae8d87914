// TqzHid: the HID component. Lists HID device interfaces as TqzHidDevice records,
// loads their identity and capabilities, and opens device paths.
#pragma once

#include <cstdint>

#include "qzclasses/base_io.h"
#include "qzhid/hid_device.h"

namespace qz {

class TqzHid : public TqzBaseIO {
 public:
  explicit TqzHid(Component* owner);
  ~TqzHid() override;
  Text ClassName() const override { return u"TqzHid"; }

  // Fills `device` from the HID library; true when the record is usable. With
  // readStrings the product, manufacturer and serial number strings are read too.
  bool LoadDeviceInfo(TqzHidDevice& device, bool readStrings);
  // Opens a device path; INVALID_HANDLE_VALUE on failure (reason in GetLastError).
  HANDLE OpenDeviceFile(const Text& path, bool read, bool write, bool shared, bool overlapped);

  bool GetSharedMode() const { return fSharedMode; }
  void SetSharedMode(bool value) { fSharedMode = value; }
  bool GetEnumFullMode() const { return fEnumFullMode; }
  void SetEnumFullMode(bool value) { fEnumFullMode = value; }
  TqzHidDevice* HidDevice() const { return fHidDevice; }
  std::int32_t GetDeviceIndex() const override { return fDeviceIndex; }

 protected:
  std::int32_t fDeviceIndex = 0;
  TqzHidDevice* fHidDevice = nullptr;
  bool fSharedMode = true;
  bool fEnumFullMode = false;
};

}  // namespace qz
