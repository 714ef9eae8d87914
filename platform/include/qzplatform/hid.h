// The HID class library's records, status codes and entry-point types, laid out as
// Windows publishes them. Declared here on every platform: the library binds HID.DLL
// at run time and so never includes the Windows DDK headers.
#pragma once

#include "qzplatform/win32.h"

#ifdef _WIN32
using NTSTATUS = LONG;
#endif

using USAGE = USHORT;
struct HIDP_PREPARSED_DATA_;
using PHIDP_PREPARSED_DATA = HIDP_PREPARSED_DATA_*;

enum HIDP_REPORT_TYPE { HidP_Input = 0, HidP_Output = 1, HidP_Feature = 2 };

struct HIDD_ATTRIBUTES {
  ULONG Size;
  USHORT VendorID;
  USHORT ProductID;
  USHORT VersionNumber;
};

struct HIDP_CAPS {
  USAGE Usage;
  USAGE UsagePage;
  USHORT InputReportByteLength;
  USHORT OutputReportByteLength;
  USHORT FeatureReportByteLength;
  USHORT Reserved[17];
  USHORT NumberLinkCollectionNodes;
  USHORT NumberInputButtonCaps;
  USHORT NumberInputValueCaps;
  USHORT NumberInputDataIndices;
  USHORT NumberOutputButtonCaps;
  USHORT NumberOutputValueCaps;
  USHORT NumberOutputDataIndices;
  USHORT NumberFeatureButtonCaps;
  USHORT NumberFeatureValueCaps;
  USHORT NumberFeatureDataIndices;
};

struct HIDP_CAPS_RANGE {
  USAGE UsageMin;
  USAGE UsageMax;
  USHORT StringMin;
  USHORT StringMax;
  USHORT DesignatorMin;
  USHORT DesignatorMax;
  USHORT DataIndexMin;
  USHORT DataIndexMax;
};

struct HIDP_CAPS_NOT_RANGE {
  USAGE Usage;
  USAGE Reserved1;
  USHORT StringIndex;
  USHORT Reserved2;
  USHORT DesignatorIndex;
  USHORT Reserved3;
  USHORT DataIndex;
  USHORT Reserved4;
};

struct HIDP_BUTTON_CAPS {
  USAGE UsagePage;
  UCHAR ReportID;
  BOOLEAN IsAlias;
  USHORT BitField;
  USHORT LinkCollection;
  USAGE LinkUsage;
  USAGE LinkUsagePage;
  BOOLEAN IsRange;
  BOOLEAN IsStringRange;
  BOOLEAN IsDesignatorRange;
  BOOLEAN IsAbsolute;
  USHORT ReportCount;
  USHORT Reserved2;
  ULONG Reserved[9];
  union {
    HIDP_CAPS_RANGE Range;
    HIDP_CAPS_NOT_RANGE NotRange;
  };
};

struct HIDP_VALUE_CAPS {
  USAGE UsagePage;
  UCHAR ReportID;
  BOOLEAN IsAlias;
  USHORT BitField;
  USHORT LinkCollection;
  USAGE LinkUsage;
  USAGE LinkUsagePage;
  BOOLEAN IsRange;
  BOOLEAN IsStringRange;
  BOOLEAN IsDesignatorRange;
  BOOLEAN IsAbsolute;
  BOOLEAN HasNull;
  UCHAR Reserved;
  USHORT BitSize;
  USHORT ReportCount;
  USHORT Reserved2[5];
  ULONG UnitsExp;
  ULONG Units;
  LONG LogicalMin;
  LONG LogicalMax;
  LONG PhysicalMin;
  LONG PhysicalMax;
  union {
    HIDP_CAPS_RANGE Range;
    HIDP_CAPS_NOT_RANGE NotRange;
  };
};

struct HIDP_LINK_COLLECTION_NODE {
  USAGE LinkUsage;
  USAGE LinkUsagePage;
  USHORT Parent;
  USHORT NumberOfChildren;
  USHORT NextSibling;
  USHORT FirstChild;
  ULONG CollectionType : 8;
  ULONG IsAlias : 1;
  ULONG Reserved : 23;
  PVOID UserContext;
};

// One control's data in a report, as HidP_GetData and HidP_SetData exchange it.
struct HIDP_DATA {
  USHORT DataIndex;
  USHORT Reserved;
  union {
    ULONG RawValue;
    BOOLEAN On;
  };
};

struct USAGE_AND_PAGE {
  USAGE Usage;
  USAGE UsagePage;
};

static_assert(sizeof(HIDP_CAPS) == 64);
static_assert(sizeof(HIDP_DATA) == 8);
static_assert(sizeof(HIDP_BUTTON_CAPS) == 72);
static_assert(sizeof(HIDP_VALUE_CAPS) == 72);

// HIDP_STATUS_* results of the HidP_ queries.
inline constexpr NTSTATUS HidpStatus(unsigned long v) { return static_cast<NTSTATUS>(v); }
#define HIDP_STATUS_SUCCESS HidpStatus(0x00110000ul)
#define HIDP_STATUS_NULL HidpStatus(0x80110001ul)
#define HIDP_STATUS_INVALID_PREPARSED_DATA HidpStatus(0xC0110001ul)
#define HIDP_STATUS_INVALID_REPORT_TYPE HidpStatus(0xC0110002ul)
#define HIDP_STATUS_INVALID_REPORT_LENGTH HidpStatus(0xC0110003ul)
#define HIDP_STATUS_USAGE_NOT_FOUND HidpStatus(0xC0110004ul)
#define HIDP_STATUS_VALUE_OUT_OF_RANGE HidpStatus(0xC0110005ul)
#define HIDP_STATUS_BAD_LOG_PHY_VALUES HidpStatus(0xC0110006ul)
#define HIDP_STATUS_BUFFER_TOO_SMALL HidpStatus(0xC0110007ul)
#define HIDP_STATUS_INTERNAL_ERROR HidpStatus(0xC0110008ul)
#define HIDP_STATUS_I8042_TRANS_UNKNOWN HidpStatus(0xC0110009ul)
#define HIDP_STATUS_BUTTON_NOT_PRESSED HIDP_STATUS_I8042_TRANS_UNKNOWN
#define HIDP_STATUS_INCOMPATIBLE_REPORT_ID HidpStatus(0xC011000Aul)
#define HIDP_STATUS_NOT_VALUE_ARRAY HidpStatus(0xC011000Bul)
#define HIDP_STATUS_IS_VALUE_ARRAY HidpStatus(0xC011000Cul)
#define HIDP_STATUS_DATA_INDEX_NOT_FOUND HidpStatus(0xC011000Dul)
#define HIDP_STATUS_DATA_INDEX_OUT_OF_RANGE HidpStatus(0xC011000Eul)
#define HIDP_STATUS_REPORT_DOES_NOT_EXIST HidpStatus(0xC0110010ul)
#define HIDP_STATUS_NOT_IMPLEMENTED HidpStatus(0xC0110020ul)

// Entry points of "HID.DLL", as bound at run time.
using PFN_HidD_GetHidGuid = void(WINAPI*)(GUID* HidGuid);
using PFN_HidD_GetString = BOOLEAN(WINAPI*)(HANDLE HidDeviceObject, PVOID Buffer,
                                            ULONG BufferLength);
using PFN_HidD_GetIndexedString = BOOLEAN(WINAPI*)(HANDLE HidDeviceObject, ULONG StringIndex,
                                                   PVOID Buffer, ULONG BufferLength);
using PFN_HidD_GetPreparsedData = BOOLEAN(WINAPI*)(HANDLE HidDeviceObject,
                                                   PHIDP_PREPARSED_DATA* PreparsedData);
using PFN_HidD_FreePreparsedData = BOOLEAN(WINAPI*)(PHIDP_PREPARSED_DATA PreparsedData);
using PFN_HidD_GetAttributes = BOOLEAN(WINAPI*)(HANDLE HidDeviceObject,
                                                HIDD_ATTRIBUTES* Attributes);
using PFN_HidP_GetCaps = NTSTATUS(WINAPI*)(PHIDP_PREPARSED_DATA PreparsedData,
                                           HIDP_CAPS* Capabilities);
using PFN_HidP_GetButtonCaps = NTSTATUS(WINAPI*)(HIDP_REPORT_TYPE ReportType,
                                                 HIDP_BUTTON_CAPS* ButtonCaps,
                                                 USHORT* ButtonCapsLength,
                                                 PHIDP_PREPARSED_DATA PreparsedData);
using PFN_HidP_GetValueCaps = NTSTATUS(WINAPI*)(HIDP_REPORT_TYPE ReportType,
                                                HIDP_VALUE_CAPS* ValueCaps,
                                                USHORT* ValueCapsLength,
                                                PHIDP_PREPARSED_DATA PreparsedData);
using PFN_HidP_InitializeReportForID = NTSTATUS(WINAPI*)(HIDP_REPORT_TYPE ReportType,
                                                         UCHAR ReportID,
                                                         PHIDP_PREPARSED_DATA PreparsedData,
                                                         char* Report, ULONG ReportLength);
using PFN_HidP_MaxUsageListLength = ULONG(WINAPI*)(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                                   PHIDP_PREPARSED_DATA PreparsedData);
// HidP_GetUsages, HidP_SetUsages and HidP_UnsetUsages share one signature.
using PFN_HidP_Usages = NTSTATUS(WINAPI*)(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                          USHORT LinkCollection, USAGE* UsageList,
                                          ULONG* UsageLength, PHIDP_PREPARSED_DATA PreparsedData,
                                          char* Report, ULONG ReportLength);
using PFN_HidP_GetUsageValue = NTSTATUS(WINAPI*)(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                                 USHORT LinkCollection, USAGE Usage,
                                                 ULONG* UsageValue,
                                                 PHIDP_PREPARSED_DATA PreparsedData,
                                                 char* Report, ULONG ReportLength);
using PFN_HidP_SetUsageValue = NTSTATUS(WINAPI*)(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                                 USHORT LinkCollection, USAGE Usage,
                                                 ULONG UsageValue,
                                                 PHIDP_PREPARSED_DATA PreparsedData,
                                                 char* Report, ULONG ReportLength);
using PFN_HidP_GetScaledUsageValue = NTSTATUS(WINAPI*)(HIDP_REPORT_TYPE ReportType,
                                                       USAGE UsagePage, USHORT LinkCollection,
                                                       USAGE Usage, LONG* UsageValue,
                                                       PHIDP_PREPARSED_DATA PreparsedData,
                                                       char* Report, ULONG ReportLength);
using PFN_HidP_SetScaledUsageValue = NTSTATUS(WINAPI*)(HIDP_REPORT_TYPE ReportType,
                                                       USAGE UsagePage, USHORT LinkCollection,
                                                       USAGE Usage, LONG UsageValue,
                                                       PHIDP_PREPARSED_DATA PreparsedData,
                                                       char* Report, ULONG ReportLength);
using PFN_HidP_GetUsagesEx = NTSTATUS(WINAPI*)(HIDP_REPORT_TYPE ReportType, USHORT LinkCollection,
                                               USAGE_AND_PAGE* ButtonList, ULONG* UsageLength,
                                               PHIDP_PREPARSED_DATA PreparsedData, char* Report,
                                               ULONG ReportLength);
using PFN_HidP_MaxDataListLength = ULONG(WINAPI*)(HIDP_REPORT_TYPE ReportType,
                                                  PHIDP_PREPARSED_DATA PreparsedData);
// HidP_GetData and HidP_SetData share one signature.
using PFN_HidP_Data = NTSTATUS(WINAPI*)(HIDP_REPORT_TYPE ReportType, HIDP_DATA* DataList,
                                        ULONG* DataLength, PHIDP_PREPARSED_DATA PreparsedData,
                                        char* Report, ULONG ReportLength);
// HidP_GetUsageValueArray and HidP_SetUsageValueArray share one signature.
using PFN_HidP_UsageValueArray = NTSTATUS(WINAPI*)(HIDP_REPORT_TYPE ReportType, USAGE UsagePage,
                                                   USHORT LinkCollection, USAGE Usage,
                                                   char* UsageValue, USHORT UsageValueByteLength,
                                                   PHIDP_PREPARSED_DATA PreparsedData,
                                                   char* Report, ULONG ReportLength);
using PFN_HidP_GetSpecificButtonCaps = NTSTATUS(WINAPI*)(HIDP_REPORT_TYPE ReportType,
                                                         USAGE UsagePage, USHORT LinkCollection,
                                                         USAGE Usage, HIDP_BUTTON_CAPS* ButtonCaps,
                                                         USHORT* ButtonCapsLength,
                                                         PHIDP_PREPARSED_DATA PreparsedData);
using PFN_HidP_GetSpecificValueCaps = NTSTATUS(WINAPI*)(HIDP_REPORT_TYPE ReportType,
                                                        USAGE UsagePage, USHORT LinkCollection,
                                                        USAGE Usage, HIDP_VALUE_CAPS* ValueCaps,
                                                        USHORT* ValueCapsLength,
                                                        PHIDP_PREPARSED_DATA PreparsedData);
using PFN_HidD_Report = BOOLEAN(WINAPI*)(HANDLE HidDeviceObject, PVOID ReportBuffer,
                                         ULONG ReportBufferLength);
// qzLink's own entry, which Windows' HID.DLL does not have (the system keeps descriptors to
// itself there): the whole report descriptor of the device behind the handle, every
// top-level collection included. *DescriptorLength gets its length; FALSE with
// ERROR_INSUFFICIENT_BUFFER when BufferLength is shorter.
inline constexpr char kQzGetReportDescriptorEntry[] = "QzHidD_GetReportDescriptor";
using PFN_QzHidD_GetReportDescriptor = BOOLEAN(WINAPI*)(HANDLE HidDeviceObject, PVOID Buffer,
                                                        ULONG BufferLength,
                                                        ULONG* DescriptorLength);
using PFN_HidD_SetNumInputBuffers = BOOLEAN(WINAPI*)(HANDLE HidDeviceObject, ULONG NumberBuffers);
using PFN_HidD_GetNumInputBuffers = BOOLEAN(WINAPI*)(HANDLE HidDeviceObject, ULONG* NumberBuffers);
