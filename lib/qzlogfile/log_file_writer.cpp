// Log file writing: open or create, cut the front to the size limit, append.
#include "qzlogfile/log_file_writer.h"

#include <algorithm>
#include <string>
#include <thread>

#include "qzplatform/win32.h"

namespace qz {
namespace {

// Closes the log file on every way out of an append.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() {
    if (valid()) CloseHandle(handle_);
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// An existing file is opened (shared for reading on request); a missing one is
// created without sharing. Opening first spares a separate look-up of the name for
// every entry; a directory is refused by the open itself. Neither shares writing, so
// while another writer holds the file the open fails with a sharing violation and is
// tried again until `wait` has passed. Creating opens a file that another writer
// has just created instead of emptying it.
HANDLE OpenLogFile(const Text& name, bool shared, std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    HANDLE file = CreateFileW(qzplatform::AsWide(name), GENERIC_READ | GENERIC_WRITE,
                              shared ? FILE_SHARE_READ : 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND) {
      file = CreateFileW(qzplatform::AsWide(name), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION ||
        std::chrono::steady_clock::now() >= deadline) {
      return file;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

bool Seek(HANDLE file, std::uint64_t offset, DWORD method, std::uint64_t* position = nullptr) {
  LONG high = static_cast<LONG>(offset >> 32);
  SetLastError(NO_ERROR);
  const DWORD low = SetFilePointer(file, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, method);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return false;
  if (position != nullptr) {
    *position = (static_cast<std::uint64_t>(static_cast<DWORD>(high)) << 32) | low;
  }
  return true;
}

constexpr std::uint64_t kChunk = 1u << 20;

// ReadFile and WriteFile may move fewer bytes than asked; anything short of the
// full count is a failure.
bool ReadAll(HANDLE file, char* data, std::uint64_t count) {
  while (count > 0) {
    DWORD done = 0;
    const DWORD part = static_cast<DWORD>(std::min(count, kChunk));
    if (!ReadFile(file, data, part, &done, nullptr) || done == 0) return false;
    data += done;
    count -= done;
  }
  return true;
}

bool WriteAll(HANDLE file, const char* data, std::uint64_t count) {
  while (count > 0) {
    DWORD done = 0;
    const DWORD part = static_cast<DWORD>(std::min(count, kChunk));
    if (!WriteFile(file, data, part, &done, nullptr) || done == 0) return false;
    data += done;
    count -= done;
  }
  return true;
}

// Where the part of the file that stays begins when `count` more bytes must fit within
// `limit`: one move back from the file's end, which leaves the position there. 0 when
// the file is short enough (the move would go before its start).
bool FindCut(HANDLE file, std::uint64_t count, std::uint64_t limit, std::uint64_t* cut) {
  const std::uint64_t back = count - limit;  // negative (wrapped) unless count >= limit
  if (Seek(file, back, FILE_END, cut)) return true;
  *cut = 0;
  return GetLastError() == ERROR_NEGATIVE_SEEK;
}

// The part of the file that stays: its bytes from `cut` (the position) to its end
// `size`, or nothing. Calls onReachLimit first.
bool KeptTail(HANDLE file, std::uint64_t size, std::uint64_t cut, const LogFileWrite& request,
              std::string* kept) {
  if (request.onReachLimit) request.onReachLimit();
  // An odd cut would shift every later UTF-16 unit by one byte.
  const bool odd = !request.ansiOnly && (cut & 1) != 0;
  if (odd) ++cut;
  if (cut >= size) return true;
  kept->assign(static_cast<std::size_t>(size - cut), '\0');
  return (!odd || Seek(file, cut, FILE_BEGIN)) && ReadAll(file, kept->data(), kept->size());
}

}  // namespace

std::string EncodeLogText(std::u16string_view text, bool ansiOnly) {
  if (ansiOnly) return TextToAnsi(text);
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

bool AppendToLogFile(const LogFileWrite& request, std::string_view bytes) {
  if (request.fileName.empty()) return false;
  FileHandle file(OpenLogFile(request.fileName, request.shared, request.wait));
  if (!file.valid()) return false;

  // The encoded bytes are counted, so a code page whose form is longer or shorter
  // than the UTF-16 text neither truncates it nor reads past it.
  std::uint64_t count = bytes.size();
  std::uint64_t limit = request.sizeLimit;
  if (!request.ansiOnly) limit &= ~std::uint64_t{1};  // whole UTF-16 units only
  std::uint64_t cut = 0;
  if (request.sizeLimit != 0) {
    count = std::min(count, limit);
    if (!FindCut(file.get(), count, limit, &cut)) return false;
  }

  if (cut == 0) {
    std::uint64_t size = 0;
    if (!Seek(file.get(), 0, FILE_END, &size)) return false;
    if (WriteAll(file.get(), bytes.data(), count)) return true;
    // Take back a partly written piece: the caller keeps the text and writes it again.
    if (Seek(file.get(), size, FILE_BEGIN)) SetEndOfFile(file.get());
    return false;
  }

  // At the limit the kept tail and the new bytes go to the start in one write; the
  // file is shortened only when it was longer than what it now holds.
  const std::uint64_t size = cut + limit - count;
  std::string content;
  content.reserve(static_cast<std::size_t>(limit));
  if (!KeptTail(file.get(), size, cut, request, &content)) return false;
  const std::uint64_t kept = content.size();
  content.append(bytes.data(), static_cast<std::size_t>(count));
  if (!Seek(file.get(), 0, FILE_BEGIN)) return false;
  if (WriteAll(file.get(), content.data(), content.size())) {
    return content.size() >= size || SetEndOfFile(file.get()) != FALSE;
  }
  // As without a cut: the file keeps its tail, not a torn piece of the new text.
  if (Seek(file.get(), kept, FILE_BEGIN)) SetEndOfFile(file.get());
  return false;
}

}  // namespace qz
