// The "HID.DLL" table every HID ground shares.
#include "qzplatform/hidshared/hid_module.h"

#include <algorithm>

#include "qzplatform/hidshared/collection_kind.h"
#include "qzplatform/hidshared/preparsed_tokens.h"

namespace qzplatform::hidshared {
namespace {

void WINAPI HidD_GetHidGuid(GUID* HidGuid) {
  if (HidGuid) *HidGuid = kHidInterfaceGuid;
}

static_assert(std::is_same_v<decltype(&HidD_GetHidGuid), PFN_HidD_GetHidGuid>);

}  // namespace

DWORD CopyReportDescriptor(const std::vector<std::uint8_t>& descriptor, PVOID buffer,
                           ULONG length, ULONG* descriptor_length) {
  if (!descriptor_length) return ERROR_NOACCESS;
  *descriptor_length = static_cast<ULONG>(descriptor.size());
  if (length < descriptor.size() || (!buffer && !descriptor.empty())) return ERROR_INSUFFICIENT_BUFFER;
  std::copy(descriptor.begin(), descriptor.end(), static_cast<std::uint8_t*>(buffer));
  return ERROR_SUCCESS;
}

std::shared_ptr<const Module> MakeHidModule(const HidDeviceEntries& device,
                                            const HidStringEntries& strings) {
  return std::make_shared<const Module>(
      u"HID.DLL", std::vector<Module::Entry>{
                      {"HidD_GetHidGuid", Proc(&HidD_GetHidGuid)},
                      {"HidD_GetAttributes", Proc(device.get_attributes)},
                      {"HidD_GetPreparsedData", Proc(device.get_preparsed_data)},
                      {"HidD_FreePreparsedData", Proc(&HidD_FreePreparsedData)},
                      {"HidP_GetCaps", Proc(&HidP_GetCaps)},
                      {"HidP_GetButtonCaps", Proc(&HidP_GetButtonCaps)},
                      {"HidP_GetValueCaps", Proc(&HidP_GetValueCaps)},
                      {"HidP_InitializeReportForID", Proc(&HidP_InitializeReportForID)},
                      {"HidP_MaxUsageListLength", Proc(&HidP_MaxUsageListLength)},
                      {"HidP_GetUsages", Proc(&HidP_GetUsages)},
                      {"HidP_SetUsages", Proc(&HidP_SetUsages)},
                      {"HidP_UnsetUsages", Proc(&HidP_UnsetUsages)},
                      {"HidP_GetUsageValue", Proc(&HidP_GetUsageValue)},
                      {"HidP_SetUsageValue", Proc(&HidP_SetUsageValue)},
                      {"HidP_GetScaledUsageValue", Proc(&HidP_GetScaledUsageValue)},
                      {"HidP_SetScaledUsageValue", Proc(&HidP_SetScaledUsageValue)},
                      {"HidP_GetUsagesEx", Proc(&HidP_GetUsagesEx)},
                      {"HidP_MaxDataListLength", Proc(&HidP_MaxDataListLength)},
                      {"HidP_GetData", Proc(&HidP_GetData)},
                      {"HidP_SetData", Proc(&HidP_SetData)},
                      {"HidP_GetUsageValueArray", Proc(&HidP_GetUsageValueArray)},
                      {"HidP_SetUsageValueArray", Proc(&HidP_SetUsageValueArray)},
                      {"HidP_GetSpecificButtonCaps", Proc(&HidP_GetSpecificButtonCaps)},
                      {"HidP_GetSpecificValueCaps", Proc(&HidP_GetSpecificValueCaps)},
                      {"HidD_GetProductString", Proc(strings.product)},
                      {"HidD_GetManufacturerString", Proc(strings.manufacturer)},
                      {"HidD_GetSerialNumberString", Proc(strings.serial_number)},
                      {"HidD_GetIndexedString", Proc(strings.indexed)},
                      {"HidD_GetInputReport", Proc(device.get_input_report)},
                      {"HidD_GetFeature", Proc(device.get_feature)},
                      {"HidD_SetOutputReport", Proc(device.set_output_report)},
                      {"HidD_SetFeature", Proc(device.set_feature)},
                      {"HidD_SetNumInputBuffers", Proc(device.set_num_input_buffers)},
                      {"HidD_GetNumInputBuffers", Proc(device.get_num_input_buffers)},
                      {kQzGetReportDescriptorEntry, Proc(device.get_report_descriptor)},
                  });
}

}  // namespace qzplatform::hidshared
