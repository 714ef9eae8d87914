// COM initialisation of a thread. On Windows this is ole32; elsewhere there is no COM,
// and the calls only keep the per-thread count Windows keeps, so a second
// initialisation on a thread reports S_FALSE there as well.
#pragma once

#include "qzplatform/win32.h"

#ifdef _WIN32
#include <objbase.h>
#else

#define S_OK static_cast<HRESULT>(0)
#define S_FALSE static_cast<HRESULT>(1)
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define COINIT_MULTITHREADED 0x0u

HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
void WINAPI CoUninitialize();

#endif
