// The error of a failed system call of the toolkit side.
#pragma once

namespace qzui {

// Throws qz::Error naming the call and the thread's last error: its code and system text.
[[noreturn]] void ThrowLastError(const char16_t* operation);

}  // namespace qzui
