// Appending a text to the log file while keeping the file within its size limit.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "qzclasses/text.h"

namespace qz {

struct LogFileWrite {
  Text fileName;            // full path; opened and closed within the call
  bool ansiOnly = true;     // 8-bit ANSI code page, else UTF-16 little-endian
  bool shared = false;      // others may read an existing file while it is open
  std::uint32_t sizeLimit = 0;  // largest file size in bytes, 0 for none
  std::function<void()> onReachLimit;  // called before the front of the file is cut
  std::chrono::milliseconds wait{2000};  // how long to wait for another writer's turn
};

// `text` as the file holds it: the ANSI code page, or UTF-16 little-endian.
std::string EncodeLogText(std::u16string_view text, bool ansiOnly);

// Appends `bytes` (encoded as request.ansiOnly says) to the file, creating it when it
// does not exist. When the file would grow beyond the limit, the bytes needed are first
// cut from its front (whole code units in UTF-16), and bytes beyond the limit are not
// written. The file is held without write sharing from the size check to the last
// write, so writers in other sinks or processes wait their turn (up to request.wait)
// instead of tearing each other's entries. False when the file cannot be opened,
// created, cut or written; a failed write leaves the file's old end in place so that a
// retry does not repeat a torn piece.
bool AppendToLogFile(const LogFileWrite& request, std::string_view bytes);

}  // namespace qz
