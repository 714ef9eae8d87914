// The log file component: time-stamped, escaped entries kept in memory and appended to
// a size-limited text file, optionally mirrored to the debugger output and an edit control.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "qzclasses/custom_log_file.h"
#include "qzclasses/edit_control.h"
#include "qzlogfile/log_options.h"
#include "qzlogfile/pending_log.h"

namespace qz {

class VisualOutQueue;

// The handler may change the entry's text, or empty it to drop the entry.
using TOnLogEntry = Method<void(Component* Sender, Text& logEntry)>;

// Entries may be added from any thread: a re-entrant lock serialises adding, saving and
// clearing, and handlers (OnLogEntry, OnReachLimit) run with it held on the adding
// thread. Each entry is CR LF, the stamp and the text with control characters escaped;
// the file is 8-bit ANSI or UTF-16 little-endian without a byte-order mark, and is cut
// at its front by whole bytes to stay within SizeLimit.
class TqzLogFile : public TqzCustomLogFile {
 public:
  static constexpr std::uint32_t kDefaultSizeLimit = 204800;
  static constexpr const char16_t* kDefaultFileName = u"qzlinklib.log";
  static constexpr TLogOptions kDefaultOptions{loSafeMode, loAutoFileName, loDate, loTime,
                                               loDebugOut};

  explicit TqzLogFile(Component* owner);
  // Without loSafeMode the pending entries are saved; a failure goes to OnFatalError
  // but is not raised out of the destructor.
  ~TqzLogFile() override;

  Text ClassName() const override { return u"TqzLogFile"; }

  // Adds one entry whatever its level; the first entry is preceded by the banner. With
  // loSafeMode the entry is saved at once, and a failed save is raised from here.
  void Add(const Text& text) override;
  void AddLog(TDetailLevel Level, const Text& text) override;
  // A format that does not fit its arguments adds "Log format ERROR!!!".
  void AddFmt(const Text& Format, const FormatArgs& Args) override;
  void AddLogFmt(TDetailLevel Level, const Text& Format, const FormatArgs& Args) override;
  // The banner: the library's name and version and the operating system's version.
  void AddSysInfo() override;
  // Appends the pending entries to the file; on failure they stay pending and
  // DoFatalError(0, 0, "Error when save log file:" + path) is called. Does nothing
  // when there is no file name. Pending entries are kept only as far as they fit
  // within SizeLimit, the newest first.
  void Save() override;
  // Drops the pending entries and deletes the file (a failure to delete is ignored).
  void Clear() override;

  // The file's full path (empty when loAutoFileName is off and FileName is empty): the
  // program's path with ".log" as extension, or FileName beside the program unless
  // FileName's directory part is at least two characters long. The directory part ends
  // at the system's folder delimiter or a drive colon: on Windows the backslash only,
  // so "sub/x.log" goes beside the program (into its folder sub); elsewhere both
  // slashes.
  Text GetLogFileName() const;
  // Appends `text` to the file, cutting the file's front to keep within SizeLimit;
  // false when the file cannot be opened, created, cut or written (or another writer
  // holds it for too long).
  bool WriteToFile(const Text& text);
  // The entries added since the last successful save, each beginning with CR LF.
  Text GetLog() const;

  std::uint32_t GetSizeLimit() const { return fSizeLimit.load(); }
  void SetSizeLimit(std::uint32_t value) { fSizeLimit.store(value); }
  Text GetFileName() const;
  void SetFileName(const Text& value);  // stores the value trimmed
  EditControl* GetVisualOut() const;
  void SetVisualOut(EditControl* value);
  TDetailLevel GetDetailLevel() const { return fDetailLevel.load(); }
  void SetDetailLevel(TDetailLevel value) { fDetailLevel.store(value); }
  TLogOptions GetOptions() const { return fOptions.load(); }
  void SetOptions(TLogOptions value) { fOptions.store(value); }
  TNotifyEvent GetOnReachLimit() const;
  void SetOnReachLimit(const TNotifyEvent& value);
  bool GetAnsiOnly() const { return fAnsiOnly.load(); }
  void SetAnsiOnly(bool value) { fAnsiOnly.store(value); }
  TOnLogEntry GetOnLogEntry() const;
  void SetOnLogEntry(const TOnLogEntry& value);

  void Notification(Component* component, Operation operation) override;
  bool Accepts(TDetailLevel level) const final { return level <= fDetailLevel.load(); }

 private:
  bool WriteBytes(std::string_view bytes, bool ansiOnly);
  // Writes Log to the file with cs held; on failure the entries stay in Log.
  bool SavePending();

  PendingLog Log;  // guarded by cs
  std::atomic<std::uint32_t> fSizeLimit{kDefaultSizeLimit};
  Text fFileName = kDefaultFileName;  // guarded by cs
  std::atomic<TDetailLevel> fDetailLevel{dlSimple};
  std::atomic<TLogOptions> fOptions{kDefaultOptions};
  TNotifyEvent fReachLimit;  // guarded by cs
  bool flVersion = true;     // guarded by cs
  bool flSaving = false;     // guarded by cs: the file is being written
  // guarded by cs: the last save found the file held by another writer for the whole
  // wait; later saves try once, so a program that keeps the file open (a viewer that
  // shares no writing) does not stall every entry, until a save gets through again
  bool flHeldOff = false;
  std::atomic<bool> fAnsiOnly{true};
  TOnLogEntry fOnLogEntry;  // guarded by cs
  mutable std::recursive_mutex cs;
  std::shared_ptr<VisualOutQueue> fEdit;  // the VisualOut control and its deliveries
};

}  // namespace qz
