// The record of one device as the library knows it, kept in an I/O component's device list.
#pragma once

#include <cstdint>

#include "qzclasses/text.h"
#include "qzplatform/win32.h"

namespace qz {

class TqzBaseIO;

class TqzDevice {
 public:
  TqzDevice() = default;
  TqzDevice(const TqzDevice&) = default;
  TqzDevice& operator=(const TqzDevice&) = default;
  virtual ~TqzDevice() = default;

  // Position in the owner's device list (0 while in none) and that list's component.
  std::int32_t GetIndex() const { return fIndex; }
  TqzBaseIO* GetParent() const { return fParent; }

  ULONG_PTR Handle = 0;
  ULONG_PTR DevInst = 0;  // configuration manager's device instance
  std::int32_t Data = 0;  // ordering key of InsertDevice
  std::int32_t DataEx = 0;
  Text NameFriendly;  // the text under which the record stands in device lists
  Text NamePDO;
  Text NameDeviceDos;
  Text NameSymbolic;  // the path the device is opened by
  Text RegKey;        // hardware key, relative to HKEY_LOCAL_MACHINE
  Text Description;
  Text Service;
  Text Driver;
  Text InstanceId;
  Text BusRelations;  // instance IDs joined with ";"
  Text PortName;
  Text Manufacturer;
  Text SerialNumber;
  GUID GuidClass{};

 private:
  friend class TqzBaseIO;

  std::int32_t fIndex = 0;
  TqzBaseIO* fParent = nullptr;
};

}  // namespace qz
