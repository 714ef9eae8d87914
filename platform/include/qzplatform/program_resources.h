// The program's own resources off Windows. Images embedded when the program is built
// register here; FindResourceW, LoadResource, LockResource and SizeofResource find them
// for the program's module (a null module handle), as Windows finds RCDATA resources.
#pragma once

#ifndef _WIN32

#include <cstddef>
#include <string_view>
#include <vector>

#include "qzplatform/win32.h"

namespace qzplatform {

// Adds a resource of integer type `type` (RT_RCDATA is 10) named `name` (matched
// without regard to case) whose bytes stay at `data` for the program's life. Returns
// true, so that a static initialiser can call it.
bool RegisterProgramResource(WORD type, std::u16string_view name, const void* data,
                             std::size_t size);

// Test hooks: give a resource other bytes (adding it when there is none), hide it,
// and undo both.
void SetProgramResource(WORD type, std::u16string_view name, std::vector<BYTE> bytes);
void HideProgramResource(WORD type, std::u16string_view name);
void RestoreProgramResources();

}  // namespace qzplatform

#endif  // !_WIN32
