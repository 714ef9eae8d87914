// The device helper's directly linked calls off Windows: each forwards to the entry of
// that name in the active ground's module, as the Windows loader would bind it. A
// ground without the module or the entry makes the call fail with
// ERROR_CALL_NOT_IMPLEMENTED (no ground here has a service control manager or driver
// installation, for example).
#include "qzplatform/ground.h"
#include "qzplatform/helper_calls.h"

namespace qzplatform {
namespace {

template <typename F>
F Entry(std::u16string_view module, const char* name) {
  auto ground = CurrentGround();
  auto found = ground ? ground->FindModule(module) : nullptr;
  FARPROC proc = found ? found->Find(name) : nullptr;
  if (!proc) SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return reinterpret_cast<F>(reinterpret_cast<void*>(proc));
}

constexpr std::u16string_view kSetupApi = u"SetupAPI.dll";
constexpr std::u16string_view kNewDev = u"newdev.dll";
constexpr std::u16string_view kAdvapi = u"advapi32.dll";

// Calls the entry, or gives `failed` when it is missing.
template <typename F, typename R, typename... A>
R Forward(std::u16string_view module, const char* name, R failed, A... args) {
  F f = Entry<F>(module, name);
  return f ? f(args...) : failed;
}

}  // namespace
}  // namespace qzplatform

using qzplatform::Forward;
using qzplatform::kAdvapi;
using qzplatform::kNewDev;
using qzplatform::kSetupApi;

HDEVINFO WINAPI SetupDiCreateDeviceInfoList(const GUID* ClassGuid, HWND hwndParent) {
  return Forward<PFN_SetupDiCreateDeviceInfoList>(kSetupApi, "SetupDiCreateDeviceInfoList",
                                                  INVALID_HANDLE_VALUE, ClassGuid, hwndParent);
}

BOOL WINAPI SetupDiOpenDeviceInfoW(HDEVINFO DeviceInfoSet, PCWSTR DeviceInstanceId,
                                   HWND hwndParent, DWORD OpenFlags,
                                   PSP_DEVINFO_DATA DeviceInfoData) {
  return Forward<PFN_SetupDiOpenDeviceInfoW>(kSetupApi, "SetupDiOpenDeviceInfoW", FALSE,
                                             DeviceInfoSet, DeviceInstanceId, hwndParent,
                                             OpenFlags, DeviceInfoData);
}

BOOL WINAPI SetupDiSetClassInstallParamsW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                          PSP_CLASSINSTALL_HEADER ClassInstallParams,
                                          DWORD ClassInstallParamsSize) {
  return Forward<PFN_SetupDiSetClassInstallParamsW>(kSetupApi, "SetupDiSetClassInstallParamsW",
                                                    FALSE, DeviceInfoSet, DeviceInfoData,
                                                    ClassInstallParams, ClassInstallParamsSize);
}

BOOL WINAPI SetupDiCallClassInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                      PSP_DEVINFO_DATA DeviceInfoData) {
  return Forward<PFN_SetupDiCallClassInstaller>(kSetupApi, "SetupDiCallClassInstaller", FALSE,
                                                InstallFunction, DeviceInfoSet, DeviceInfoData);
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
  return Forward<PFN_SetupDiDestroyDeviceInfoList>(kSetupApi, "SetupDiDestroyDeviceInfoList",
                                                   FALSE, DeviceInfoSet);
}

BOOL WINAPI UpdateDriverForPlugAndPlayDevicesW(HWND hwndParent, LPCWSTR HardwareId,
                                               LPCWSTR FullInfPath, DWORD InstallFlags,
                                               PBOOL bRebootRequired) {
  using F = BOOL(WINAPI*)(HWND, LPCWSTR, LPCWSTR, DWORD, PBOOL);
  return Forward<F>(kNewDev, "UpdateDriverForPlugAndPlayDevicesW", FALSE, hwndParent, HardwareId,
                    FullInfPath, InstallFlags, bRebootRequired);
}

SC_HANDLE WINAPI OpenSCManagerW(LPCWSTR lpMachineName, LPCWSTR lpDatabaseName,
                                DWORD dwDesiredAccess) {
  using F = SC_HANDLE(WINAPI*)(LPCWSTR, LPCWSTR, DWORD);
  return Forward<F>(kAdvapi, "OpenSCManagerW", SC_HANDLE{}, lpMachineName, lpDatabaseName,
                    dwDesiredAccess);
}

SC_HANDLE WINAPI CreateServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName,
                                LPCWSTR lpDisplayName, DWORD dwDesiredAccess, DWORD dwServiceType,
                                DWORD dwStartType, DWORD dwErrorControl, LPCWSTR lpBinaryPathName,
                                LPCWSTR lpLoadOrderGroup, LPDWORD lpdwTagId,
                                LPCWSTR lpDependencies, LPCWSTR lpServiceStartName,
                                LPCWSTR lpPassword) {
  using F = SC_HANDLE(WINAPI*)(SC_HANDLE, LPCWSTR, LPCWSTR, DWORD, DWORD, DWORD, DWORD, LPCWSTR,
                               LPCWSTR, LPDWORD, LPCWSTR, LPCWSTR, LPCWSTR);
  return Forward<F>(kAdvapi, "CreateServiceW", SC_HANDLE{}, hSCManager, lpServiceName,
                    lpDisplayName, dwDesiredAccess, dwServiceType, dwStartType, dwErrorControl,
                    lpBinaryPathName, lpLoadOrderGroup, lpdwTagId, lpDependencies,
                    lpServiceStartName, lpPassword);
}

SC_HANDLE WINAPI OpenServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, DWORD dwDesiredAccess) {
  using F = SC_HANDLE(WINAPI*)(SC_HANDLE, LPCWSTR, DWORD);
  return Forward<F>(kAdvapi, "OpenServiceW", SC_HANDLE{}, hSCManager, lpServiceName,
                    dwDesiredAccess);
}

BOOL WINAPI StartServiceW(SC_HANDLE hService, DWORD dwNumServiceArgs,
                          LPCWSTR* lpServiceArgVectors) {
  using F = BOOL(WINAPI*)(SC_HANDLE, DWORD, LPCWSTR*);
  return Forward<F>(kAdvapi, "StartServiceW", FALSE, hService, dwNumServiceArgs,
                    lpServiceArgVectors);
}

BOOL WINAPI ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus) {
  using F = BOOL(WINAPI*)(SC_HANDLE, DWORD, LPSERVICE_STATUS);
  return Forward<F>(kAdvapi, "ControlService", FALSE, hService, dwControl, lpServiceStatus);
}

BOOL WINAPI DeleteService(SC_HANDLE hService) {
  using F = BOOL(WINAPI*)(SC_HANDLE);
  return Forward<F>(kAdvapi, "DeleteService", FALSE, hService);
}

BOOL WINAPI CloseServiceHandle(SC_HANDLE hSCObject) {
  using F = BOOL(WINAPI*)(SC_HANDLE);
  return Forward<F>(kAdvapi, "CloseServiceHandle", FALSE, hSCObject);
}
