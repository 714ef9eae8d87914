// TqzHidDevice: one HID device interface in the HID component's device list, with
// the identity enumeration found and what the HID library reports about it.
#pragma once

#include <cstdint>
#include <vector>

#include "qzclasses/device.h"
#include "qzhidw32/qzhidw32.h"

namespace qz {

// Count codes: which count of fCaps a property or table accessor reads.
enum HidCountCode : int {
  hcInputButtons = 0,
  hcInputValues = 1,
  hcInputDataIndices = 2,
  hcOutputButtons = 3,
  hcOutputValues = 4,
  hcOutputDataIndices = 5,
  hcFeatureButtons = 6,
  hcFeatureValues = 7,
  hcFeatureDataIndices = 8,
};

// Report-length codes: 0 output, 1 input, any other value feature.
enum HidLengthCode : int { hlOutput = 0, hlInput = 1, hlFeature = 2 };

class TqzHidDevice : public TqzDevice {
 public:
  // Copies the enumeration's identity from aBase (may be null); SerialNumber, Handle,
  // Data, DataEx, the list position and the owner are not copied.
  explicit TqzHidDevice(const TqzDevice* aBase = nullptr);

  Text fPhysicalDescriptor;
  // Non-zero only while LoadDeviceInfo runs and while the component has the device open.
  PreparsedHandle fPpd = 0;
  HIDD_ATTRIBUTES fAttributes{};
  HIDP_CAPS fCaps{};
  // A table is empty until loaded; a loaded one has as many entries as its count.
  std::vector<HIDP_BUTTON_CAPS> fCapsInputButtons;
  std::vector<HIDP_VALUE_CAPS> fCapsInputValues;
  std::vector<HIDP_BUTTON_CAPS> fCapsOutputButtons;
  std::vector<HIDP_VALUE_CAPS> fCapsOutputValues;
  std::vector<HIDP_BUTTON_CAPS> fCapsFeatureButtons;
  std::vector<HIDP_VALUE_CAPS> fCapsFeatureValues;

  const Text& PhysicalDescriptor() const { return fPhysicalDescriptor; }
  std::uint16_t VendorId() const { return fAttributes.VendorID; }
  std::uint16_t ProductId() const { return fAttributes.ProductID; }
  std::uint16_t Version() const { return fAttributes.VersionNumber; }
  std::uint16_t Usage() const { return fCaps.Usage; }
  std::uint16_t UsagePage() const { return fCaps.UsagePage; }

  std::uint16_t GetCount(int code) const;
  std::uint32_t GetReportLength(int code) const;
  std::uint16_t InputButtonsCount() const { return GetCount(hcInputButtons); }
  std::uint16_t InputValuesCount() const { return GetCount(hcInputValues); }
  std::uint16_t OutputButtonsCount() const { return GetCount(hcOutputButtons); }
  std::uint16_t OutputValuesCount() const { return GetCount(hcOutputValues); }
  std::uint16_t FeatureButtonsCount() const { return GetCount(hcFeatureButtons); }
  std::uint16_t FeatureValuesCount() const { return GetCount(hcFeatureValues); }
  std::uint32_t OutputReportLength() const { return GetReportLength(hlOutput); }
  std::uint32_t InputReportLength() const { return GetReportLength(hlInput); }
  std::uint32_t FeatureReportLength() const { return GetReportLength(hlFeature); }

  // One entry of a table, by count code (3 output, 6 feature, else input buttons;
  // 4 output, 7 feature, else input values). RangeError "Index is out of range"
  // for an index outside the count, or outside the table actually loaded.
  HIDP_BUTTON_CAPS GetButtons(std::int32_t Index, int i) const;
  HIDP_VALUE_CAPS GetValues(std::int32_t Index, int i) const;
  HIDP_BUTTON_CAPS InputButtons(std::int32_t Index) const { return GetButtons(Index, hcInputButtons); }
  HIDP_BUTTON_CAPS OutputButtons(std::int32_t Index) const { return GetButtons(Index, hcOutputButtons); }
  HIDP_BUTTON_CAPS FeatureButtons(std::int32_t Index) const { return GetButtons(Index, hcFeatureButtons); }
  HIDP_VALUE_CAPS InputValues(std::int32_t Index) const { return GetValues(Index, hcInputValues); }
  HIDP_VALUE_CAPS OutputValues(std::int32_t Index) const { return GetValues(Index, hcOutputValues); }
  HIDP_VALUE_CAPS FeatureValues(std::int32_t Index) const { return GetValues(Index, hcFeatureValues); }
};

// The name of a usage page ("Generic", "Keyboard", ..., "Unknown").
Text GetUsagePageName(std::uint16_t usagePage);

}  // namespace qz
