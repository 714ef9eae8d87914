// The pending log entries: encoded once, bounded by the size limit.
#include "qzlogfile/pending_log.h"

#include "qzlogfile/log_file_writer.h"

namespace qz {

void PendingLog::Append(std::u16string_view entry, bool ansiOnly, std::uint32_t sizeLimit) {
  if (ansiOnly != ansiOnly_) Encode(ansiOnly);
  const std::string encoded = EncodeLogText(entry, ansiOnly);
  text_.append(entry);
  bytes_.append(encoded);
  entries_.push_back({entry.size(), encoded.size()});
  Fit(sizeLimit);
}

void PendingLog::Append(const PendingLog& newer, bool ansiOnly, std::uint32_t sizeLimit) {
  std::size_t at = newer.textHead_;
  for (const Entry& entry : newer.entries_) {
    Append(std::u16string_view(newer.text_).substr(at, entry.units), ansiOnly, sizeLimit);
    at += entry.units;
  }
}

std::string_view PendingLog::Bytes(bool ansiOnly, std::uint32_t sizeLimit) {
  if (ansiOnly != ansiOnly_) Encode(ansiOnly);
  Fit(sizeLimit);
  return std::string_view(bytes_).substr(byteHead_);
}

void PendingLog::Clear() {
  text_.clear();
  bytes_.clear();
  textHead_ = 0;
  byteHead_ = 0;
  entries_.clear();
}

// Rare: AnsiOnly was changed while entries were pending.
void PendingLog::Encode(bool ansiOnly) {
  std::string bytes;
  std::size_t at = textHead_;
  for (Entry& entry : entries_) {
    const std::string encoded =
        EncodeLogText(std::u16string_view(text_).substr(at, entry.units), ansiOnly);
    bytes += encoded;
    entry.bytes = encoded.size();
    at += entry.units;
  }
  bytes_ = std::move(bytes);
  byteHead_ = 0;
  ansiOnly_ = ansiOnly;
}

void PendingLog::Fit(std::uint32_t sizeLimit) {
  if (sizeLimit == 0) return;
  while (entries_.size() > 1 && bytes_.size() - byteHead_ > sizeLimit) {
    textHead_ += entries_.front().units;
    byteHead_ += entries_.front().bytes;
    entries_.pop_front();
  }
  // The dropped front is given back once it is the larger part, so each byte is moved
  // a bounded number of times.
  if (byteHead_ > bytes_.size() / 2) {
    bytes_.erase(0, byteHead_);
    text_.erase(0, textHead_);
    byteHead_ = 0;
    textHead_ = 0;
  }
}

}  // namespace qz
