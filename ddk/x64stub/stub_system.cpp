// The helper's system calls: the platform's own, called directly.
#include "stub.h"

namespace x64stub {
namespace {

class Real : public StubSystem {
 public:
  LPWSTR* CommandLineToArgvW(LPCWSTR lpCmdLine, int* pNumArgs) override {
    return ::CommandLineToArgvW(lpCmdLine, pNumArgs);
  }
  HLOCAL LocalFree(HLOCAL hMem) override { return ::LocalFree(hMem); }
  HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) override {
    return ::CLSIDFromString(lpsz, pclsid);
  }
  HDEVINFO SetupDiCreateDeviceInfoList(const GUID* ClassGuid, HWND hwndParent) override {
    return ::SetupDiCreateDeviceInfoList(ClassGuid, hwndParent);
  }
  BOOL SetupDiOpenDeviceInfoW(HDEVINFO DeviceInfoSet, PCWSTR DeviceInstanceId, HWND hwndParent,
                              DWORD OpenFlags, PSP_DEVINFO_DATA DeviceInfoData) override {
    return ::SetupDiOpenDeviceInfoW(DeviceInfoSet, DeviceInstanceId, hwndParent, OpenFlags,
                                    DeviceInfoData);
  }
  BOOL SetupDiSetClassInstallParamsW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                     PSP_CLASSINSTALL_HEADER ClassInstallParams,
                                     DWORD ClassInstallParamsSize) override {
    return ::SetupDiSetClassInstallParamsW(DeviceInfoSet, DeviceInfoData, ClassInstallParams,
                                           ClassInstallParamsSize);
  }
  BOOL SetupDiCallClassInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                 PSP_DEVINFO_DATA DeviceInfoData) override {
    return ::SetupDiCallClassInstaller(InstallFunction, DeviceInfoSet, DeviceInfoData);
  }
  BOOL SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) override {
    return ::SetupDiDestroyDeviceInfoList(DeviceInfoSet);
  }
  BOOL UpdateDriverForPlugAndPlayDevicesW(HWND hwndParent, LPCWSTR HardwareId,
                                          LPCWSTR FullInfPath, DWORD InstallFlags,
                                          PBOOL bRebootRequired) override {
    return ::UpdateDriverForPlugAndPlayDevicesW(hwndParent, HardwareId, FullInfPath, InstallFlags,
                                                bRebootRequired);
  }
  SC_HANDLE OpenSCManagerW(LPCWSTR lpMachineName, LPCWSTR lpDatabaseName,
                           DWORD dwDesiredAccess) override {
    return ::OpenSCManagerW(lpMachineName, lpDatabaseName, dwDesiredAccess);
  }
  SC_HANDLE CreateServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, LPCWSTR lpDisplayName,
                           DWORD dwDesiredAccess, DWORD dwServiceType, DWORD dwStartType,
                           DWORD dwErrorControl, LPCWSTR lpBinaryPathName,
                           LPCWSTR lpLoadOrderGroup, LPDWORD lpdwTagId, LPCWSTR lpDependencies,
                           LPCWSTR lpServiceStartName, LPCWSTR lpPassword) override {
    return ::CreateServiceW(hSCManager, lpServiceName, lpDisplayName, dwDesiredAccess,
                            dwServiceType, dwStartType, dwErrorControl, lpBinaryPathName,
                            lpLoadOrderGroup, lpdwTagId, lpDependencies, lpServiceStartName,
                            lpPassword);
  }
  SC_HANDLE OpenServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName,
                         DWORD dwDesiredAccess) override {
    return ::OpenServiceW(hSCManager, lpServiceName, dwDesiredAccess);
  }
  BOOL StartServiceW(SC_HANDLE hService, DWORD dwNumServiceArgs,
                     LPCWSTR* lpServiceArgVectors) override {
    return ::StartServiceW(hService, dwNumServiceArgs, lpServiceArgVectors);
  }
  BOOL ControlService(SC_HANDLE hService, DWORD dwControl,
                      LPSERVICE_STATUS lpServiceStatus) override {
    return ::ControlService(hService, dwControl, lpServiceStatus);
  }
  BOOL DeleteService(SC_HANDLE hService) override { return ::DeleteService(hService); }
  BOOL CloseServiceHandle(SC_HANDLE hSCObject) override { return ::CloseServiceHandle(hSCObject); }
  void Sleep(DWORD dwMilliseconds) override { ::Sleep(dwMilliseconds); }
  DWORD GetLastError() override { return ::GetLastError(); }
  void OutputDebugStringW(LPCWSTR lpOutputString) override { ::OutputDebugStringW(lpOutputString); }
};

}  // namespace

StubSystem& SystemCalls() {
  static Real real;
  return real;
}

}  // namespace x64stub
