// The calls the device helper program links directly: splitting its command line,
// GUID parsing, SetupAPI's property change, driver update and the service control
// manager. On Windows the system headers declare them; elsewhere they are declared here
// and forward to the active ground's modules ("SetupAPI.dll", "newdev.dll",
// "advapi32.dll"), failing with ERROR_CALL_NOT_IMPLEMENTED where the ground has none.
#pragma once

#include "qzplatform/com.h"
#include "qzplatform/setupapi.h"
#include "qzplatform/win32.h"

#ifdef _WIN32
#include <newdev.h>
#include <objbase.h>
#include <shellapi.h>
#include <winsvc.h>
#else

using HLOCAL = void*;
using PBOOL = BOOL*;
using LPCOLESTR = const WCHAR*;
using CLSID = GUID;
using LPCLSID = CLSID*;
struct SC_HANDLE__;
using SC_HANDLE = SC_HANDLE__*;

struct SERVICE_STATUS {
  DWORD dwServiceType;
  DWORD dwCurrentState;
  DWORD dwControlsAccepted;
  DWORD dwWin32ExitCode;
  DWORD dwServiceSpecificExitCode;
  DWORD dwCheckPoint;
  DWORD dwWaitHint;
};
using LPSERVICE_STATUS = SERVICE_STATUS*;

#define DELETE 0x00010000u
#define SC_MANAGER_CONNECT 0x0001u
#define SC_MANAGER_CREATE_SERVICE 0x0002u
#define SERVICE_START 0x0010u
#define SERVICE_STOP 0x0020u
#define SERVICE_KERNEL_DRIVER 0x00000001u
#define SERVICE_DEMAND_START 0x00000003u
#define SERVICE_ERROR_NORMAL 0x00000001u
#define SERVICE_CONTROL_STOP 0x00000001u
#define INSTALLFLAG_FORCE 0x00000001u
#define ERROR_SERVICE_EXISTS 1073L
#define CO_E_CLASSSTRING static_cast<HRESULT>(0x800401F3u)

// kernel32, shell32, ole32.
LPWSTR WINAPI GetCommandLineW();
LPWSTR* WINAPI CommandLineToArgvW(LPCWSTR lpCmdLine, int* pNumArgs);
HLOCAL WINAPI LocalFree(HLOCAL hMem);
HRESULT WINAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);

// setupapi
HDEVINFO WINAPI SetupDiCreateDeviceInfoList(const GUID* ClassGuid, HWND hwndParent);
BOOL WINAPI SetupDiOpenDeviceInfoW(HDEVINFO DeviceInfoSet, PCWSTR DeviceInstanceId,
                                   HWND hwndParent, DWORD OpenFlags,
                                   PSP_DEVINFO_DATA DeviceInfoData);
BOOL WINAPI SetupDiSetClassInstallParamsW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                          PSP_CLASSINSTALL_HEADER ClassInstallParams,
                                          DWORD ClassInstallParamsSize);
BOOL WINAPI SetupDiCallClassInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                      PSP_DEVINFO_DATA DeviceInfoData);
BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet);

// newdev
BOOL WINAPI UpdateDriverForPlugAndPlayDevicesW(HWND hwndParent, LPCWSTR HardwareId,
                                               LPCWSTR FullInfPath, DWORD InstallFlags,
                                               PBOOL bRebootRequired);

// advapi32: the service control manager.
SC_HANDLE WINAPI OpenSCManagerW(LPCWSTR lpMachineName, LPCWSTR lpDatabaseName,
                                DWORD dwDesiredAccess);
SC_HANDLE WINAPI CreateServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName,
                                LPCWSTR lpDisplayName, DWORD dwDesiredAccess, DWORD dwServiceType,
                                DWORD dwStartType, DWORD dwErrorControl, LPCWSTR lpBinaryPathName,
                                LPCWSTR lpLoadOrderGroup, LPDWORD lpdwTagId,
                                LPCWSTR lpDependencies, LPCWSTR lpServiceStartName,
                                LPCWSTR lpPassword);
SC_HANDLE WINAPI OpenServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, DWORD dwDesiredAccess);
BOOL WINAPI StartServiceW(SC_HANDLE hService, DWORD dwNumServiceArgs,
                          LPCWSTR* lpServiceArgVectors);
BOOL WINAPI ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus);
BOOL WINAPI DeleteService(SC_HANDLE hService);
BOOL WINAPI CloseServiceHandle(SC_HANDLE hSCObject);

#endif  // _WIN32
