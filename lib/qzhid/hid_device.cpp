// The HID device record: copying the enumerated identity, counts, lengths and the
// range-checked table accessors; the usage-page names.
#include "qzhid/hid_device.h"

#include <array>

#include "qzclasses/errors.h"

namespace qz {
namespace {

template <typename Caps>
Caps Entry(const std::vector<Caps>& table, std::uint16_t count, std::int32_t index) {
  // The count is what the record promises; the table size guards a record whose
  // counts were loaded without its tables.
  if (index < 0 || index >= count || static_cast<std::size_t>(index) >= table.size())
    throw RangeError(u"Index is out of range");
  return table[static_cast<std::size_t>(index)];
}

}  // namespace

TqzHidDevice::TqzHidDevice(const TqzDevice* aBase) {
  if (aBase) {
    NameFriendly = aBase->NameFriendly;
    NamePDO = aBase->NamePDO;
    NameDeviceDos = aBase->NameDeviceDos;
    NameSymbolic = aBase->NameSymbolic;
    RegKey = aBase->RegKey;
    Description = aBase->Description;
    Service = aBase->Service;
    Driver = aBase->Driver;
    InstanceId = aBase->InstanceId;
    BusRelations = aBase->BusRelations;
    PortName = aBase->PortName;
    Manufacturer = aBase->Manufacturer;
    DevInst = aBase->DevInst;
    GuidClass = aBase->GuidClass;
  }
  fAttributes.Size = 10;
}

std::uint16_t TqzHidDevice::GetCount(int code) const {
  switch (code) {
    case hcInputButtons: return fCaps.NumberInputButtonCaps;
    case hcInputValues: return fCaps.NumberInputValueCaps;
    case hcInputDataIndices: return fCaps.NumberInputDataIndices;
    case hcOutputButtons: return fCaps.NumberOutputButtonCaps;
    case hcOutputValues: return fCaps.NumberOutputValueCaps;
    case hcOutputDataIndices: return fCaps.NumberOutputDataIndices;
    case hcFeatureButtons: return fCaps.NumberFeatureButtonCaps;
    case hcFeatureValues: return fCaps.NumberFeatureValueCaps;
    case hcFeatureDataIndices: return fCaps.NumberFeatureDataIndices;
    default: return 0;
  }
}

std::uint32_t TqzHidDevice::GetReportLength(int code) const {
  switch (code) {
    case hlOutput: return fCaps.OutputReportByteLength;
    case hlInput: return fCaps.InputReportByteLength;
    default: return fCaps.FeatureReportByteLength;
  }
}

HIDP_BUTTON_CAPS TqzHidDevice::GetButtons(std::int32_t Index, int i) const {
  switch (i) {
    case hcOutputButtons: return Entry(fCapsOutputButtons, GetCount(i), Index);
    case hcFeatureButtons: return Entry(fCapsFeatureButtons, GetCount(i), Index);
    default: return Entry(fCapsInputButtons, GetCount(i), Index);
  }
}

HIDP_VALUE_CAPS TqzHidDevice::GetValues(std::int32_t Index, int i) const {
  switch (i) {
    case hcOutputValues: return Entry(fCapsOutputValues, GetCount(i), Index);
    case hcFeatureValues: return Entry(fCapsFeatureValues, GetCount(i), Index);
    default: return Entry(fCapsInputValues, GetCount(i), Index);
  }
}

Text GetUsagePageName(std::uint16_t usagePage) {
  static constexpr std::array<const char16_t*, 21> kNames = {
      u"Undefined", u"Generic",   u"Simulation", u"VR",       u"Sport",   u"Game",
      u"Unknown",   u"Keyboard",  u"LED",        u"Button",   u"Ordinal", u"Telephony",
      u"Consumer",  u"Digitizer", u"Unknown",    u"Unknown",  u"Unicode", u"Unknown",
      u"Unknown",   u"Unknown",   u"Alphanumeric"};
  return usagePage < kNames.size() ? kNames[usagePage] : u"Unknown";
}

}  // namespace qz
