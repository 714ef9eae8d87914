// One registry property of a device, and a device's bus or removal relations.
#include "qzwin32di/device_queries.h"

#include <algorithm>
#include <vector>

#include "qzsysutils/qzsysutils.h"
#include "qzwin32di/setupapi_binding.h"
#include "qzwin32di/wide_buffer.h"

namespace qz {

Text DiGetDeviceProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
  if (!LoadSetupApi()) return {};
  constexpr DWORD kBytes = 512;  // 255 characters and the terminating NUL
  WCHAR buffer[kBytes / sizeof(WCHAR)] = {};
  DWORD size = 0;
  if (!SetupApi().SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr,
                                                    reinterpret_cast<PBYTE>(buffer), kBytes, &size))
    return {};
  // Stop at the NUL rather than drop the last character: a value stored without its
  // terminator keeps all of its text.
  return wide::TextOf(buffer, std::min(size, kBytes) / sizeof(WCHAR));
}

Text DiGetDeviceIdList(const Text& instanceId, const Text& separator, bool busRelations) {
  if (!LoadSetupApi()) return {};
  const ULONG flags =
      busRelations ? CM_GETIDLIST_FILTER_BUSRELATIONS : CM_GETIDLIST_FILTER_REMOVALRELATIONS;
  const SetupApiEntries& api = SetupApi();
  ULONG length = 0;
  if (api.CM_Get_Device_ID_List_SizeW(&length, qzplatform::AsWide(instanceId), flags) !=
          CR_SUCCESS ||
      length == 0)
    return {};
  std::vector<WCHAR> buffer(length, 0);
  if (api.CM_Get_Device_ID_ListW(qzplatform::AsWide(instanceId), buffer.data(), length, flags) !=
      CR_SUCCESS)
    return {};
  return MultiSzToText(buffer.data(), length, separator);
}

}  // namespace qz
