// The log entries waiting to be saved, kept as text and, once, as the file's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "qzclasses/text.h"

namespace qz {

// Each entry is encoded when it is added, so saves that keep failing (a full disk) cost
// no encoding again. Only the newest whole entries whose bytes fit within the size limit
// are kept (the newest one always), as the file could hold no more of them.
class PendingLog {
 public:
  // Adds one entry in the file's encoding and drops the oldest that no longer fit
  // (a limit of 0 keeps all).
  void Append(std::u16string_view entry, bool ansiOnly, std::uint32_t sizeLimit);
  // Adds every entry of `newer`, oldest first.
  void Append(const PendingLog& newer, bool ansiOnly, std::uint32_t sizeLimit);
  // The pending entries as the file takes them; encoded again only when the encoding
  // has changed since they were added, and fitted to the limit as it is now.
  std::string_view Bytes(bool ansiOnly, std::uint32_t sizeLimit);
  Text GetText() const { return text_.substr(textHead_); }
  void Clear();

 private:
  struct Entry {
    std::size_t units;  // UTF-16 code units in text_
    std::size_t bytes;  // encoded bytes in bytes_
  };
  void Encode(bool ansiOnly);
  void Fit(std::uint32_t sizeLimit);

  Text text_;          // the pending entries from textHead_ on
  std::string bytes_;  // the same entries encoded, from byteHead_ on
  std::size_t textHead_ = 0;
  std::size_t byteHead_ = 0;
  std::deque<Entry> entries_;
  bool ansiOnly_ = true;  // the encoding of bytes_
};

}  // namespace qz
