// The device-installation library (SetupAPI.dll), the configuration manager
// (cfgmgr32.dll), the registry calls and ntdll's key query, as the library binds them:
// records laid out as Windows publishes them, constants, and entry-point types for
// run-time binding. On Windows the system headers supply what they have.
#pragma once

#include "qzplatform/win32.h"

#ifdef _WIN32
#include <cfgmgr32.h>
#include <setupapi.h>
#else

#include <cstdint>

// Windows packs the SetupAPI records to 1 byte in 32-bit processes and to 8 in 64-bit
// ones; their size fields must hold exactly these sizes.
#if UINTPTR_MAX == 0xFFFFFFFFu
#pragma pack(push, 1)
#else
#pragma pack(push, 8)
#endif

using HDEVINFO = PVOID;
using DI_FUNCTION = UINT;
using PCWSTR = const WCHAR*;
using PWSTR = WCHAR*;
using PBYTE = BYTE*;
using PDWORD = DWORD*;
using PULONG = ULONG*;

struct SP_DEVINFO_DATA {
  DWORD cbSize;
  GUID ClassGuid;
  DWORD DevInst;
  ULONG_PTR Reserved;
};
using PSP_DEVINFO_DATA = SP_DEVINFO_DATA*;

struct SP_DEVICE_INTERFACE_DATA {
  DWORD cbSize;
  GUID InterfaceClassGuid;
  DWORD Flags;
  ULONG_PTR Reserved;
};
using PSP_DEVICE_INTERFACE_DATA = SP_DEVICE_INTERFACE_DATA*;

struct SP_DEVICE_INTERFACE_DETAIL_DATA_W {
  DWORD cbSize;
  WCHAR DevicePath[1];
};
using PSP_DEVICE_INTERFACE_DETAIL_DATA_W = SP_DEVICE_INTERFACE_DETAIL_DATA_W*;

struct SP_CLASSINSTALL_HEADER {
  DWORD cbSize;
  DI_FUNCTION InstallFunction;
};
using PSP_CLASSINSTALL_HEADER = SP_CLASSINSTALL_HEADER*;

struct SP_PROPCHANGE_PARAMS {
  SP_CLASSINSTALL_HEADER ClassInstallHeader;
  DWORD StateChange;
  DWORD Scope;
  DWORD HwProfile;
};

#pragma pack(pop)

// SetupDiGetClassDevsW flags.
#define DIGCF_DEFAULT 0x00000001u
#define DIGCF_PRESENT 0x00000002u
#define DIGCF_ALLCLASSES 0x00000004u
#define DIGCF_PROFILE 0x00000008u
#define DIGCF_DEVICEINTERFACE 0x00000010u

// SP_DEVICE_INTERFACE_DATA flags.
#define SPINT_ACTIVE 0x00000001u
#define SPINT_DEFAULT 0x00000002u
#define SPINT_REMOVED 0x00000004u

// Device registry properties (SetupDiGetDeviceRegistryPropertyW).
#define SPDRP_DEVICEDESC 0x00000000u
#define SPDRP_HARDWAREID 0x00000001u
#define SPDRP_COMPATIBLEIDS 0x00000002u
#define SPDRP_SERVICE 0x00000004u
#define SPDRP_CLASS 0x00000007u
#define SPDRP_CLASSGUID 0x00000008u
#define SPDRP_DRIVER 0x00000009u
#define SPDRP_CONFIGFLAGS 0x0000000Au
#define SPDRP_MFG 0x0000000Bu
#define SPDRP_FRIENDLYNAME 0x0000000Cu
#define SPDRP_LOCATION_INFORMATION 0x0000000Du
#define SPDRP_PHYSICAL_DEVICE_OBJECT_NAME 0x0000000Eu
#define SPDRP_ENUMERATOR_NAME 0x00000016u
#define SPDRP_MAXIMUM_PROPERTY 0x00000024u

// State changes and their scope (SP_PROPCHANGE_PARAMS, SetupDiOpenDevRegKey).
#define DIF_PROPERTYCHANGE 0x00000012u
#define DICS_ENABLE 0x00000001u
#define DICS_DISABLE 0x00000002u
#define DICS_PROPCHANGE 0x00000003u
#define DICS_START 0x00000004u
#define DICS_STOP 0x00000005u
#define DICS_FLAG_GLOBAL 0x00000001u
#define DICS_FLAG_CONFIGSPECIFIC 0x00000002u
#define DICS_FLAG_CONFIGGENERAL 0x00000004u

// SetupDiOpenDevRegKey: the hardware key or the driver key.
#define DIREG_DEV 0x00000001u
#define DIREG_DRV 0x00000002u
#define DIREG_BOTH 0x00000004u

// SetupAPI's own error codes (customer bit set).
#define ERROR_INVALID_REG_PROPERTY 0xE0000209u
#define ERROR_NO_SUCH_DEVINST 0xE000020Bu
#define ERROR_DI_DO_DEFAULT 0xE000020Eu
#define ERROR_IN_WOW64 0xE0000235u

// The configuration manager.
using CONFIGRET = DWORD;
using DEVINST = DWORD;
using PDEVINST = DEVINST*;
using DEVINSTID_W = WCHAR*;
using PZZWSTR = WCHAR*;

enum PNP_VETO_TYPE {
  PNP_VetoTypeUnknown = 0,
  PNP_VetoLegacyDevice,
  PNP_VetoPendingClose,
  PNP_VetoWindowsApp,
  PNP_VetoWindowsService,
  PNP_VetoOutstandingOpen,
  PNP_VetoDevice,
  PNP_VetoDriver,
  PNP_VetoIllegalDeviceRequest,
  PNP_VetoInsufficientPower,
  PNP_VetoNonDisableable,
  PNP_VetoLegacyDriver,
  PNP_VetoInsufficientRights
};
using PPNP_VETO_TYPE = PNP_VETO_TYPE*;

#define CR_SUCCESS 0x00000000u
#define CR_OUT_OF_MEMORY 0x00000002u
#define CR_INVALID_POINTER 0x00000003u
#define CR_INVALID_FLAG 0x00000004u
#define CR_INVALID_DEVNODE 0x00000005u
#define CR_NO_SUCH_DEVNODE 0x0000000Du
#define CR_BUFFER_SMALL 0x0000001Au
#define CR_INVALID_DEVICE_ID 0x0000001Eu
#define CR_INVALID_PROPERTY 0x00000020u
#define CR_NO_SUCH_VALUE 0x00000025u
#define CR_CALL_NOT_IMPLEMENTED 0x00000034u

#define CM_GETIDLIST_FILTER_NONE 0x00000000u
#define CM_GETIDLIST_FILTER_ENUMERATOR 0x00000001u
#define CM_GETIDLIST_FILTER_SERVICE 0x00000002u
#define CM_GETIDLIST_FILTER_EJECTRELATIONS 0x00000004u
#define CM_GETIDLIST_FILTER_REMOVALRELATIONS 0x00000008u
#define CM_GETIDLIST_FILTER_POWERRELATIONS 0x00000010u
#define CM_GETIDLIST_FILTER_BUSRELATIONS 0x00000020u
#define CM_GETIDLIST_DONOTGENERATE 0x10000040u
#define CM_GETIDLIST_FILTER_PRESENT 0x00000100u

#define CM_LOCATE_DEVNODE_NORMAL 0x00000000u
#define CM_LOCATE_DEVNODE_PHANTOM 0x00000001u
#define CM_LOCATE_DEVNODE_CANCELREMOVE 0x00000002u
#define CM_LOCATE_DEVNODE_NOVALIDATION 0x00000004u

// Device node properties: the SPDRP_ code plus one.
#define CM_DRP_DEVICEDESC 0x00000001u
#define CM_DRP_SERVICE 0x00000005u
#define CM_DRP_DRIVER 0x0000000Au
#define CM_DRP_MFG 0x0000000Cu
#define CM_DRP_PHYSICAL_DEVICE_OBJECT_NAME 0x0000000Fu
#define CM_DRP_MAX 0x00000025u

// The registry (advapi32): called directly.
using LSTATUS = LONG;
using REGSAM = DWORD;
using PHKEY = HKEY*;
using LPBYTE = BYTE*;

#define HKEY_CLASSES_ROOT \
  (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000000u))))
#define HKEY_CURRENT_USER \
  (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000001u))))
#define HKEY_LOCAL_MACHINE \
  (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000002u))))
#define HKEY_USERS (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000003u))))

#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_CREATE_SUB_KEY 0x0004u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_NOTIFY 0x0010u
#define KEY_READ 0x20019u
#define KEY_WRITE 0x20006u

#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_MULTI_SZ 7u

LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                             PHKEY phkResult);
LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData);
LSTATUS WINAPI RegCloseKey(HKEY hKey);

#endif  // _WIN32

#ifdef _WIN32
using NTSTATUS = LONG;
#endif

// ntdll's key query, which no user-mode header of Windows declares.
enum KEY_INFORMATION_CLASS {
  KeyBasicInformation = 0,
  KeyNodeInformation = 1,
  KeyFullInformation = 2,
  KeyNameInformation = 3
};
struct KEY_NAME_INFORMATION {
  ULONG NameLength;  // in bytes, without a terminator
  WCHAR Name[1];
};

#ifndef STATUS_SUCCESS
#define STATUS_SUCCESS static_cast<NTSTATUS>(0x00000000)
#endif
#ifndef STATUS_BUFFER_OVERFLOW
#define STATUS_BUFFER_OVERFLOW static_cast<NTSTATUS>(0x80000005u)
#endif
#ifndef STATUS_NOT_IMPLEMENTED
#define STATUS_NOT_IMPLEMENTED static_cast<NTSTATUS>(0xC0000002u)
#endif
#ifndef STATUS_INVALID_HANDLE
#define STATUS_INVALID_HANDLE static_cast<NTSTATUS>(0xC0000008u)
#endif
#ifndef STATUS_BUFFER_TOO_SMALL
#define STATUS_BUFFER_TOO_SMALL static_cast<NTSTATUS>(0xC0000023u)
#endif

// Entry points bound at run time ("W" variants).
using PFN_SetupDiGetClassDevsW = HDEVINFO(WINAPI*)(const GUID* ClassGuid, PCWSTR Enumerator,
                                                   HWND hwndParent, DWORD Flags);
using PFN_SetupDiDestroyDeviceInfoList = BOOL(WINAPI*)(HDEVINFO DeviceInfoSet);
using PFN_SetupDiEnumDeviceInfo = BOOL(WINAPI*)(HDEVINFO DeviceInfoSet, DWORD MemberIndex,
                                                PSP_DEVINFO_DATA DeviceInfoData);
using PFN_SetupDiGetDeviceRegistryPropertyW =
    BOOL(WINAPI*)(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                  PDWORD PropertyRegDataType, PBYTE PropertyBuffer, DWORD PropertyBufferSize,
                  PDWORD RequiredSize);
using PFN_SetupDiOpenDevRegKey = HKEY(WINAPI*)(HDEVINFO DeviceInfoSet,
                                               PSP_DEVINFO_DATA DeviceInfoData, DWORD Scope,
                                               DWORD HwProfile, DWORD KeyType, REGSAM samDesired);
using PFN_SetupDiEnumDeviceInterfaces = BOOL(WINAPI*)(
    HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, const GUID* InterfaceClassGuid,
    DWORD MemberIndex, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData);
using PFN_SetupDiGetDeviceInterfaceDetailW = BOOL(WINAPI*)(
    HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
    PSP_DEVICE_INTERFACE_DETAIL_DATA_W DeviceInterfaceDetailData,
    DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize, PSP_DEVINFO_DATA DeviceInfoData);
using PFN_SetupDiCreateDeviceInfoList = HDEVINFO(WINAPI*)(const GUID* ClassGuid, HWND hwndParent);
using PFN_SetupDiCreateDeviceInfoW = BOOL(WINAPI*)(HDEVINFO DeviceInfoSet, PCWSTR DeviceName,
                                                   const GUID* ClassGuid, PCWSTR DeviceDescription,
                                                   HWND hwndParent, DWORD CreationFlags,
                                                   PSP_DEVINFO_DATA DeviceInfoData);
using PFN_SetupDiGetINFClassW = BOOL(WINAPI*)(PCWSTR InfName, GUID* ClassGuid, PWSTR ClassName,
                                              DWORD ClassNameSize, PDWORD RequiredSize);
using PFN_SetupDiSetDeviceRegistryPropertyW = BOOL(WINAPI*)(HDEVINFO DeviceInfoSet,
                                                            PSP_DEVINFO_DATA DeviceInfoData,
                                                            DWORD Property,
                                                            const BYTE* PropertyBuffer,
                                                            DWORD PropertyBufferSize);
using PFN_SetupDiCallClassInstaller = BOOL(WINAPI*)(DI_FUNCTION InstallFunction,
                                                    HDEVINFO DeviceInfoSet,
                                                    PSP_DEVINFO_DATA DeviceInfoData);
using PFN_SetupDiGetDeviceInstanceIdW = BOOL(WINAPI*)(HDEVINFO DeviceInfoSet,
                                                      PSP_DEVINFO_DATA DeviceInfoData,
                                                      PWSTR DeviceInstanceId,
                                                      DWORD DeviceInstanceIdSize,
                                                      PDWORD RequiredSize);
using PFN_SetupDiRemoveDevice = BOOL(WINAPI*)(HDEVINFO DeviceInfoSet,
                                              PSP_DEVINFO_DATA DeviceInfoData);
using PFN_SetupDiUnremoveDevice = BOOL(WINAPI*)(HDEVINFO DeviceInfoSet,
                                                PSP_DEVINFO_DATA DeviceInfoData);
using PFN_SetupDiOpenDeviceInfoW = BOOL(WINAPI*)(HDEVINFO DeviceInfoSet, PCWSTR DeviceInstanceId,
                                                 HWND hwndParent, DWORD OpenFlags,
                                                 PSP_DEVINFO_DATA DeviceInfoData);
using PFN_SetupDiSetClassInstallParamsW = BOOL(WINAPI*)(HDEVINFO DeviceInfoSet,
                                                        PSP_DEVINFO_DATA DeviceInfoData,
                                                        PSP_CLASSINSTALL_HEADER ClassInstallParams,
                                                        DWORD ClassInstallParamsSize);

using PFN_CM_Locate_DevNodeW = CONFIGRET(WINAPI*)(PDEVINST pdnDevInst, DEVINSTID_W pDeviceID,
                                                  ULONG ulFlags);
using PFN_CM_Get_DevNode_Registry_PropertyW = CONFIGRET(WINAPI*)(DEVINST dnDevInst,
                                                                 ULONG ulProperty,
                                                                 PULONG pulRegDataType,
                                                                 PVOID Buffer, PULONG pulLength,
                                                                 ULONG ulFlags);
using PFN_CM_Get_Parent = CONFIGRET(WINAPI*)(PDEVINST pdnDevInst, DEVINST dnDevInst, ULONG ulFlags);
using PFN_CM_Get_Device_ID_List_SizeW = CONFIGRET(WINAPI*)(PULONG pulLen, PCWSTR pszFilter,
                                                           ULONG ulFlags);
using PFN_CM_Get_Device_ID_ListW = CONFIGRET(WINAPI*)(PCWSTR pszFilter, PZZWSTR Buffer,
                                                      ULONG BufferLen, ULONG ulFlags);
using PFN_CM_Get_Child = CONFIGRET(WINAPI*)(PDEVINST pdnDevInst, DEVINST dnDevInst, ULONG ulFlags);
using PFN_CM_Get_Sibling = CONFIGRET(WINAPI*)(PDEVINST pdnDevInst, DEVINST dnDevInst,
                                              ULONG ulFlags);
using PFN_CM_Request_Device_EjectW = CONFIGRET(WINAPI*)(DEVINST dnDevInst, PPNP_VETO_TYPE pVetoType,
                                                        LPWSTR pszVetoName, ULONG ulNameLength,
                                                        ULONG ulFlags);

using PFN_ZwQueryKey = NTSTATUS(WINAPI*)(HANDLE KeyHandle,
                                         KEY_INFORMATION_CLASS KeyInformationClass,
                                         PVOID KeyInformation, ULONG Length, PULONG ResultLength);

// The sizes Windows checks in the records' size fields.
static_assert(sizeof(SP_DEVINFO_DATA) == (sizeof(void*) == 4 ? 28 : 32));
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == (sizeof(void*) == 4 ? 28 : 32));
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) == (sizeof(void*) == 4 ? 6 : 8));
static_assert(sizeof(SP_PROPCHANGE_PARAMS) == 20);
