// The log file component: adding entries, the level filter, saving and clearing.
#include "qzlogfile/log_file.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <utility>

#include "qzlogfile/log_entry.h"
#include "qzlogfile/log_file_writer.h"
#include "qzlogfile/visual_out.h"
#include "qzplatform/win32.h"
#include "qzsysutils/qzsysutils.h"

namespace qz {
namespace {

constexpr char16_t kBannerPrefix[] = u"qzLink Lib v9.28 Pro ";
constexpr char16_t kFormatError[] = u"Log format ERROR!!!";
constexpr char16_t kSaveError[] = u"Error when save log file:";

// The system's folder delimiters and a drive colon. On Windows only the backslash
// ends a name's directory part, so a name such as sub/x.log is put beside the program
// (where Windows reads its slash as a delimiter). Elsewhere the slash is the system's
// delimiter and the platform reads a backslash as one too.
bool IsPathDelimiter(char16_t c) {
#ifdef _WIN32
  return c == u'\\' || c == u':';
#else
  return c == u'\\' || c == u'/' || c == u':';
#endif
}

// Length of the directory part: everything up to and including the last delimiter.
std::size_t DirectoryLength(const Text& path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (IsPathDelimiter(path[i - 1])) return i;
  }
  return 0;
}

// The extension starts at the last dot after the directory part.
Text ChangeExtension(const Text& path, std::u16string_view extension) {
  const std::size_t directory = DirectoryLength(path);
  const std::size_t dot = path.rfind(u'.');
  const std::size_t stem = (dot != Text::npos && dot >= directory) ? dot : path.size();
  return path.substr(0, stem) + Text(extension);
}

Text ProgramPath() {
  Text buffer(MAX_PATH, u'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = GetModuleFileNameW(nullptr, qzplatform::AsWide(buffer.data()), size);
    if (length == 0) return {};
    if (length < size || size >= 0x10000) {
      buffer.resize(std::min(length, size));
      return buffer;
    }
    buffer.resize(buffer.size() * 2);  // the path was truncated
  }
}

}  // namespace

TqzLogFile::TqzLogFile(Component* owner)
    : TqzCustomLogFile(owner),
      fEdit(std::make_shared<VisualOutQueue>([this] { DoFatalError(0, 0, Text()); })) {}

TqzLogFile::~TqzLogFile() {
  // Components writing to this log drop it, and their threads finish with it, before
  // anything of it goes.
  NotifyRemoval();
  fEdit->Detach();
  if (!GetOptions().Contains(loSafeMode)) {
    try {
      Save();
    } catch (...) {
      // OnFatalError has been told; raising out of a destructor would end the program.
    }
  }
}

void TqzLogFile::Add(const Text& text) {
  std::lock_guard lock(cs);
  // When saving the banner fails, this entry is still taken into Log before the error
  // is raised, so that it is written with the next successful save.
  std::exception_ptr bannerError;
  if (flVersion) {
    flVersion = false;
    try {
      AddSysInfo();
    } catch (...) {
      bannerError = std::current_exception();
    }
  }
  Text entry = text;
  if (fOnLogEntry) {
    bool returned = false;
    try {
      fOnLogEntry(this, entry);
      returned = true;
    } catch (...) {
      // A failing handler does not cost the entry.
    }
    if (returned && entry.empty()) {
      if (bannerError) std::rethrow_exception(bannerError);
      return;
    }
  }

  SYSTEMTIME now{};
  GetLocalTime(&now);
  const TLogOptions options = GetOptions();
  Text line = BuildLogStamp(now, options) + EscapeControlChars(entry);
  if (options.Contains(loDebugOut)) OutputDebugStringW(qzplatform::AsWide(line));
  line.insert(0, u"\r\n");
  Log.Append(line, GetAnsiOnly(), GetSizeLimit());
  if (fEdit->Control() != nullptr) {
    try {
      fEdit->Deliver(line);
    } catch (...) {
      DoFatalError(0, 0, Text());
    }
  }
  if (bannerError) std::rethrow_exception(bannerError);
  if (options.Contains(loSafeMode)) Save();
}

void TqzLogFile::AddLog(TDetailLevel Level, const Text& text) {
  if (Accepts(Level)) Add(text);
}

void TqzLogFile::AddFmt(const Text& Format, const FormatArgs& Args) {
  Text result;
  try {
    result = qz::Format(Format, Args);
  } catch (...) {
    result = kFormatError;
  }
  Add(result);
}

void TqzLogFile::AddLogFmt(TDetailLevel Level, const Text& Format, const FormatArgs& Args) {
  if (Accepts(Level)) AddFmt(Format, Args);
}

void TqzLogFile::AddSysInfo() { Add(kBannerPrefix + GetVersionText(Text(), Text())); }

void TqzLogFile::Save() {
  Text name;
  {
    std::lock_guard lock(cs);
    name = GetLogFileName();
    // A save asked for while this sink writes the file (by an OnReachLimit handler
    // that adds an entry) leaves it pending for the next one.
    if (name.empty() || flSaving) return;
    if (SavePending()) return;
  }
  // Log keeps the entries: the next save writes them together with newer ones.
  DoFatalError(0, 0, kSaveError + name);
}

bool TqzLogFile::SavePending() {
  // The batch leaves Log while it is written, so entries that an OnReachLimit handler
  // adds meanwhile neither change the bytes being written nor go with the batch.
  PendingLog batch = std::exchange(Log, PendingLog());
  const bool ansiOnly = GetAnsiOnly();
  bool written = false;
  flSaving = true;
  try {
    written = WriteBytes(batch.Bytes(ansiOnly, GetSizeLimit()), ansiOnly);
  } catch (...) {
    flSaving = false;
    batch.Append(Log, ansiOnly, GetSizeLimit());
    Log = std::move(batch);
    throw;
  }
  flSaving = false;
  if (written) return true;
  batch.Append(Log, ansiOnly, GetSizeLimit());
  Log = std::move(batch);
  return false;
}

void TqzLogFile::Clear() {
  std::lock_guard lock(cs);
  Log.Clear();
  const Text name = GetLogFileName();
  if (!name.empty()) DeleteFileW(qzplatform::AsWide(name));
}

Text TqzLogFile::GetLogFileName() const {
  const Text program = ProgramPath();
  if (GetOptions().Contains(loAutoFileName)) return ChangeExtension(program, u".log");
  const Text fileName = GetFileName();
  if (fileName.empty()) return {};
  if (DirectoryLength(fileName) >= 2) return fileName;
  return program.substr(0, DirectoryLength(program)) + fileName;
}

bool TqzLogFile::WriteToFile(const Text& text) {
  const bool ansiOnly = GetAnsiOnly();
  return WriteBytes(EncodeLogText(text, ansiOnly), ansiOnly);
}

bool TqzLogFile::WriteBytes(std::string_view bytes, bool ansiOnly) {
  std::lock_guard lock(cs);
  LogFileWrite request;
  request.fileName = Trim(GetLogFileName());
  if (request.fileName.empty()) return false;
  const TLogOptions options = GetOptions();
  request.ansiOnly = ansiOnly;
  request.shared = options.Contains(loSharedLogFile);
  request.sizeLimit = GetSizeLimit();
  if (fReachLimit) {
    request.onReachLimit = [this, handler = fReachLimit] { handler(this); };
  }
  if (flHeldOff) request.wait = std::chrono::milliseconds(0);
  const bool written = AppendToLogFile(request, bytes);
  flHeldOff = !written && GetLastError() == ERROR_SHARING_VIOLATION;
  return written;
}

Text TqzLogFile::GetLog() const {
  std::lock_guard lock(cs);
  return Log.GetText();
}

Text TqzLogFile::GetFileName() const {
  std::lock_guard lock(cs);
  return fFileName;
}

void TqzLogFile::SetFileName(const Text& value) {
  std::lock_guard lock(cs);
  fFileName = Trim(value);
}

EditControl* TqzLogFile::GetVisualOut() const { return fEdit->Control(); }

void TqzLogFile::SetVisualOut(EditControl* value) {
  fEdit->SetControl(value);
  if (value != nullptr) FreeNotification(value);
}

TNotifyEvent TqzLogFile::GetOnReachLimit() const {
  std::lock_guard lock(cs);
  return fReachLimit;
}

void TqzLogFile::SetOnReachLimit(const TNotifyEvent& value) {
  std::lock_guard lock(cs);
  fReachLimit = value;
}

TOnLogEntry TqzLogFile::GetOnLogEntry() const {
  std::lock_guard lock(cs);
  return fOnLogEntry;
}

void TqzLogFile::SetOnLogEntry(const TOnLogEntry& value) {
  std::lock_guard lock(cs);
  fOnLogEntry = value;
}

void TqzLogFile::Notification(Component* component, Operation operation) {
  TqzCustomLogFile::Notification(component, operation);
  if (operation == Operation::Remove) fEdit->ForgetControl(component);
}

}  // namespace qz
