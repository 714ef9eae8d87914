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
                      trace::TracedEntry<"HidD_GetHidGuid", &HidD_GetHidGuid>(),
                      {"HidD_GetAttributes", Proc(device.get_attributes)},
                      {"HidD_GetPreparsedData", Proc(device.get_preparsed_data)},
                      trace::TracedEntry<"HidD_FreePreparsedData", &HidD_FreePreparsedData>(),
                      trace::TracedEntry<"HidP_GetCaps", &HidP_GetCaps>(),
                      trace::TracedEntry<"HidP_GetButtonCaps", &HidP_GetButtonCaps>(),
                      trace::TracedEntry<"HidP_GetValueCaps", &HidP_GetValueCaps>(),
                      trace::TracedEntry<"HidP_InitializeReportForID", &HidP_InitializeReportForID>(),
                      trace::TracedEntry<"HidP_MaxUsageListLength", &HidP_MaxUsageListLength>(),
                      trace::TracedEntry<"HidP_GetUsages", &HidP_GetUsages>(),
                      trace::TracedEntry<"HidP_SetUsages", &HidP_SetUsages>(),
                      trace::TracedEntry<"HidP_UnsetUsages", &HidP_UnsetUsages>(),
                      trace::TracedEntry<"HidP_GetUsageValue", &HidP_GetUsageValue>(),
                      trace::TracedEntry<"HidP_SetUsageValue", &HidP_SetUsageValue>(),
                      trace::TracedEntry<"HidP_GetScaledUsageValue", &HidP_GetScaledUsageValue>(),
                      trace::TracedEntry<"HidP_SetScaledUsageValue", &HidP_SetScaledUsageValue>(),
                      trace::TracedEntry<"HidP_GetUsagesEx", &HidP_GetUsagesEx>(),
                      trace::TracedEntry<"HidP_MaxDataListLength", &HidP_MaxDataListLength>(),
                      trace::TracedEntry<"HidP_GetData", &HidP_GetData>(),
                      trace::TracedEntry<"HidP_SetData", &HidP_SetData>(),
                      trace::TracedEntry<"HidP_GetUsageValueArray", &HidP_GetUsageValueArray>(),
                      trace::TracedEntry<"HidP_SetUsageValueArray", &HidP_SetUsageValueArray>(),
                      trace::TracedEntry<"HidP_GetSpecificButtonCaps", &HidP_GetSpecificButtonCaps>(),
                      trace::TracedEntry<"HidP_GetSpecificValueCaps", &HidP_GetSpecificValueCaps>(),
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
