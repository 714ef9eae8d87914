// The log file component: adding entries, the level filter, saving and clearing.
#include "qzlogfile/log_file.h"

#include <algorithm>
#include <exception>

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

// Both slashes separate folders, and a drive colon ends a drive.
bool IsPathDelimiter(char16_t c) { return c == u'\\' || c == u'/' || c == u':'; }

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
    const DWORD length = GetModuleFileNameW(nullptr, qzplatform::W(buffer.data()), size);
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
  if (options.Contains(loDebugOut)) OutputDebugStringW(qzplatform::W(line));
  line.insert(0, u"\r\n");
  Log += line;
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
  if (Passes(Level)) Add(text);
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
  if (Passes(Level)) AddFmt(Format, Args);
}

void TqzLogFile::AddSysInfo() { Add(kBannerPrefix + GetVersionText(Text(), Text())); }

void TqzLogFile::Save() {
  Text name;
  {
    std::lock_guard lock(cs);
    name = GetLogFileName();
    if (name.empty()) return;
    if (WriteToFile(Log)) {
      Log.clear();
      return;
    }
  }
  // Log keeps the entries: the next save writes them together with newer ones.
  DoFatalError(0, 0, kSaveError + name);
}

void TqzLogFile::Clear() {
  std::lock_guard lock(cs);
  Log.clear();
  const Text name = GetLogFileName();
  if (!name.empty()) DeleteFileW(qzplatform::W(name));
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
  std::lock_guard lock(cs);
  LogFileWrite request;
  request.fileName = Trim(GetLogFileName());
  if (request.fileName.empty()) return false;
  const TLogOptions options = GetOptions();
  request.ansiOnly = GetAnsiOnly();
  request.shared = options.Contains(loSharedLogFile);
  request.sizeLimit = GetSizeLimit();
  if (fReachLimit) {
    request.onReachLimit = [this, handler = fReachLimit] { handler(this); };
  }
  return AppendToLogFile(request, text);
}

Text TqzLogFile::GetLog() const {
  std::lock_guard lock(cs);
  return Log;
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
