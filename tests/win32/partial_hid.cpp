// A HID.DLL that has only HidD_GetHidGuid: put beside a test program, the system loads it
// instead of its own (so under Wine; Windows keeps its own for system DLLs), and the
// library meets a HID.DLL without the rest of its entries.
#include <windows.h>

extern "C" __declspec(dllexport) void WINAPI HidD_GetHidGuid(GUID* guid) {
  *guid = GUID{0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
}
