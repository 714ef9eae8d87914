// The device helper's logic: its command line, the choice of form, the order of its
// calls, its exit codes and debugging messages, over the system calls it needs, which
// a test can substitute.
#pragma once

#include "qzplatform/helper_calls.h"

namespace x64stub {

// The platform operations the helper uses, with Windows' names and meanings.
class StubSystem {
 public:
  virtual ~StubSystem() = default;
  virtual LPWSTR* CommandLineToArgvW(LPCWSTR lpCmdLine, int* pNumArgs) = 0;
  virtual HLOCAL LocalFree(HLOCAL hMem) = 0;
  virtual HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) = 0;
  virtual HDEVINFO SetupDiCreateDeviceInfoList(const GUID* ClassGuid, HWND hwndParent) = 0;
  virtual BOOL SetupDiOpenDeviceInfoW(HDEVINFO DeviceInfoSet, PCWSTR DeviceInstanceId,
                                      HWND hwndParent, DWORD OpenFlags,
                                      PSP_DEVINFO_DATA DeviceInfoData) = 0;
  virtual BOOL SetupDiSetClassInstallParamsW(HDEVINFO DeviceInfoSet,
                                             PSP_DEVINFO_DATA DeviceInfoData,
                                             PSP_CLASSINSTALL_HEADER ClassInstallParams,
                                             DWORD ClassInstallParamsSize) = 0;
  virtual BOOL SetupDiCallClassInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                         PSP_DEVINFO_DATA DeviceInfoData) = 0;
  virtual BOOL SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) = 0;
  virtual BOOL UpdateDriverForPlugAndPlayDevicesW(HWND hwndParent, LPCWSTR HardwareId,
                                                  LPCWSTR FullInfPath, DWORD InstallFlags,
                                                  PBOOL bRebootRequired) = 0;
  virtual SC_HANDLE OpenSCManagerW(LPCWSTR lpMachineName, LPCWSTR lpDatabaseName,
                                   DWORD dwDesiredAccess) = 0;
  virtual SC_HANDLE CreateServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName,
                                   LPCWSTR lpDisplayName, DWORD dwDesiredAccess,
                                   DWORD dwServiceType, DWORD dwStartType, DWORD dwErrorControl,
                                   LPCWSTR lpBinaryPathName, LPCWSTR lpLoadOrderGroup,
                                   LPDWORD lpdwTagId, LPCWSTR lpDependencies,
                                   LPCWSTR lpServiceStartName, LPCWSTR lpPassword) = 0;
  virtual SC_HANDLE OpenServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName,
                                 DWORD dwDesiredAccess) = 0;
  virtual BOOL StartServiceW(SC_HANDLE hService, DWORD dwNumServiceArgs,
                             LPCWSTR* lpServiceArgVectors) = 0;
  virtual BOOL ControlService(SC_HANDLE hService, DWORD dwControl,
                              LPSERVICE_STATUS lpServiceStatus) = 0;
  virtual BOOL DeleteService(SC_HANDLE hService) = 0;
  virtual BOOL CloseServiceHandle(SC_HANDLE hSCObject) = 0;
  virtual void Sleep(DWORD dwMilliseconds) = 0;
  virtual DWORD GetLastError() = 0;
  virtual void OutputDebugStringW(LPCWSTR lpOutputString) = 0;
};

// The system's own calls.
StubSystem& SystemCalls();

// Runs the helper for the command line `commandLine` (its own name first) and returns
// its exit code: 0 when the form's work succeeded, 87 when the argument count is not
// 2, 3 or 4, else the error of the call that failed (never 0).
DWORD RunStub(StubSystem& system, LPCWSTR commandLine);

}  // namespace x64stub
