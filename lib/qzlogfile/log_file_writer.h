// Appending a text to the log file while keeping the file within its size limit.
#pragma once

#include <cstdint>
#include <functional>

#include "qzclasses/text.h"

namespace qz {

struct LogFileWrite {
  Text fileName;            // full path; opened and closed within the call
  bool ansiOnly = true;     // 8-bit ANSI code page, else UTF-16 little-endian
  bool shared = false;      // others may read an existing file while it is open
  std::uint32_t sizeLimit = 0;  // largest file size in bytes, 0 for none
  std::function<void()> onReachLimit;  // called before the front of the file is cut
};

// Appends `text` to the file, creating it when it does not exist. When the file
// would grow beyond the limit, the bytes needed are first cut from its front (whole
// code units in UTF-16), and a text longer than the limit is written only up to it.
// False when the file cannot be opened, created, cut or written; a failed write
// leaves the file's old end in place so that a retry does not repeat a torn piece.
bool AppendToLogFile(const LogFileWrite& request, const Text& text);

}  // namespace qz
