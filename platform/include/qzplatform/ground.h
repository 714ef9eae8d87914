// The contract between the system interface off Windows and a ground: what a ground
// provides (the Ground table, its device files, its modules) and the common objects it
// builds them from (events, transfers, handles). A ground with devices to enumerate also
// fills hidshared::DeviceTree (qzplatform/hidshared/device_tree.h); hooks for tests are in
// qzplatform/test_hooks.h. docs/adding-a-ground.md walks through a new ground.
//
// Rules for every operation below unless it says otherwise:
// - It is called from whichever program thread made the system call, possibly from
//   several at once, with no lock of the system interface held (the handle, module and
//   active-ground tables are released before the call); a ground guards its own state.
// - Errors are Win32 error codes (ERROR_...), never errno values and never exceptions;
//   ErrorFromErrno translates.
// - "Must not block" means it returns without waiting for a device or another thread's
//   transfer; brief file-system reads (sysfs) and taking the object's own lock are fine.
#pragma once

#ifndef _WIN32

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "qzplatform/win32.h"

namespace qzplatform {

// Anything a HANDLE refers to.
class KernelObject {
 public:
  virtual ~KernelObject() = default;
  // Called once, by CloseHandle on the closing thread after the handle has left the table.
  // May block until the object's own threads and in-flight transfers have stopped; every
  // transfer still pending must be completed (FileObject: as aborted) before it returns.
  virtual void OnClose() {}
};

// A device whose pending transfers a waiting thread can serve itself: a wait on the
// transfer's event then watches the device too, and the data reaches the waiting thread
// without a hop through the device's own thread.
class WaitSource {
 public:
  virtual ~WaitSource() = default;
  // Waits up to `milliseconds` until the device has something or `wake` is readable,
  // and completes whatever transfers the device has ready. Called by a thread waiting on
  // an event with no lock held; it blocks for at most `milliseconds` and reports nothing:
  // failures go into the transfers it completes.
  virtual void Serve(int wake, DWORD milliseconds) = 0;
};

// An event: manual- or auto-reset, with PulseEvent's "release whoever waits now" meaning.
class EventObject : public KernelObject {
 public:
  EventObject(bool manual_reset, bool initial_state);
  ~EventObject() override;
  void Set();
  void Reset();
  void Pulse();
  // WAIT_OBJECT_0 or WAIT_TIMEOUT.
  DWORD Wait(DWORD milliseconds);
  // While a transfer of `source` is pending on this event, waits on it serve `source`.
  void SetWaitSource(std::weak_ptr<WaitSource> source);

 private:
  bool Released(std::uint64_t pulses_at_start) const;
  // Wait's way with a source, with mutex_ held: true once released, false on timeout.
  bool ServeWhileWaiting(std::unique_lock<std::mutex>& lock, WaitSource& source,
                         DWORD milliseconds, std::uint64_t pulses_at_start);
  void WakeServers();  // with mutex_ held

  const bool manual_reset_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool signaled_;
  std::uint64_t pulses_ = 0;  // waiters present at a pulse see the count change
  int waiters_ = 0;
  int pulse_releases_ = 0;  // auto-reset pulse: how many waiters may still leave
  std::weak_ptr<WaitSource> source_;
  int servers_ = 0;    // 1 while a wait serves the source
  int wake_fd_ = -1;   // an eventfd that Set and Pulse write while a wait serves
  bool wake_written_ = false;  // wake_fd_ is readable until the server drains it
};

// One transfer started by ReadFile or WriteFile. The owner of a pending request
// completes it exactly once, from any thread; completion writes the OVERLAPPED
// record's status and byte count and signals its event, as Windows does.
class IoRequest {
 public:
  IoRequest(void* buffer, DWORD length, OVERLAPPED* overlapped,
            std::shared_ptr<EventObject> event);
  IoRequest(IoRequest&&) noexcept;
  IoRequest& operator=(IoRequest&&) noexcept;
  IoRequest(const IoRequest&) = delete;
  IoRequest& operator=(const IoRequest&) = delete;
  ~IoRequest();  // a request dropped without completion is completed as aborted

  std::uint8_t* buffer() const { return static_cast<std::uint8_t*>(buffer_); }
  DWORD length() const { return length_; }
  bool pending() const { return overlapped_ != nullptr; }
  // Lets waits on the request's event serve `source` until the request completes.
  void ServedBy(std::weak_ptr<WaitSource> source);
  // Ends the transfer: `error` 0 for success, else a Win32 error code.
  void Complete(DWORD error, DWORD bytes);

 private:
  void* buffer_;
  DWORD length_;
  OVERLAPPED* overlapped_;
  std::shared_ptr<EventObject> event_;
  bool served_ = false;  // a wait source was set on the event for this request
};

// Status kept in OVERLAPPED::Internal while a transfer runs. Off Windows the member
// then holds the Win32 error code of the finished transfer (0 for success).
inline constexpr ULONG_PTR kStatusPending = 0x103;

// A file or device opened by CreateFileW.
class FileObject : public KernelObject {
 public:
  explicit FileObject(bool overlapped) : overlapped_(overlapped) {}
  bool overlapped() const { return overlapped_; }

  // ReadFile/WriteFile: start a transfer and either complete `request` at once or keep it
  // and complete it later from any thread. Must not block: a handle opened without
  // FILE_FLAG_OVERLAPPED is made to wait by the caller, not here. Errors go into the
  // request, not a return value: ERROR_INVALID_HANDLE (closed), ERROR_ACCESS_DENIED (not
  // opened for it), ERROR_DEVICE_NOT_CONNECTED (unplugged), ERROR_INVALID_FUNCTION (no
  // such report), ERROR_INVALID_USER_BUFFER or ERROR_INVALID_PARAMETER (wrong length),
  // ERROR_NOACCESS (no buffer).
  virtual void StartRead(IoRequest request) = 0;
  virtual void StartWrite(IoRequest request) = 0;
  // CancelIo and close: complete every kept request with ERROR_OPERATION_ABORTED. May
  // block until a write already handed to the device has finished; once it returns no
  // completion writes a caller's buffer any more.
  virtual void CancelAll() {}
  // SetFilePointer, SetEndOfFile, GetFileSize: 0 or the Win32 error. Must not block.
  // Devices keep these defaults, which refuse with ERROR_INVALID_FUNCTION.
  virtual DWORD Seek(LONGLONG distance, DWORD method, LONGLONG* position);
  virtual DWORD SetEnd();
  virtual DWORD Size(ULONGLONG* size);

  void OnClose() override { CancelAll(); }
  // Signalled when a transfer that names no event of its own completes.
  const std::shared_ptr<EventObject>& CompletionEvent() const { return completion_; }

 private:
  const bool overlapped_;
  std::shared_ptr<EventObject> completion_ = std::make_shared<EventObject>(true, false);
};

// A loadable module ("HID.DLL", "SetupAPI.dll", ...): entry points by name.
class Module {
 public:
  struct Entry {
    std::string name;
    FARPROC proc;
  };
  Module(std::u16string name, std::vector<Entry> entries);
  const std::u16string& name() const { return name_; }
  FARPROC Find(std::string_view entry) const;

 private:
  std::u16string name_;
  std::vector<Entry> entries_;
};

// Casts an entry point of any signature to the FARPROC a module table holds.
template <typename F>
FARPROC Proc(F* f) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(f));
}

// One registry key as a ground holds it: its kernel name ("\REGISTRY\MACHINE\...")
// and its values, each with its registry type and raw bytes.
struct RegistryValue {
  std::u16string name;
  DWORD type = 0;
  std::vector<BYTE> data;
};
struct RegistryKeyData {
  std::u16string kernel_name;
  std::vector<RegistryValue> values;
};

// The table a ground fills: what the active ground answers for. Everything else
// (handles, events, waits, regular files, last error, error texts, module bookkeeping)
// is common to all grounds.
class Ground {
 public:
  virtual ~Ground() = default;
  // A short lower-case name ("sim", "linux") for messages and traces. Must not block.
  virtual std::u16string_view Name() const = 0;

  // CreateFileW: opens `path` if it names one of the ground's devices. Returns null with
  // *is_device false for a path that is not a device (it is then opened as a regular
  // file), or null with *is_device true and *error set when the device refuses the open:
  // ERROR_FILE_NOT_FOUND (no such device or collection), ERROR_SHARING_VIOLATION (an
  // open handle's share mode excludes this one), ERROR_ACCESS_DENIED (no permission).
  // ERROR_NOT_ENOUGH_MEMORY (out of descriptors), ERROR_GEN_FAILURE (anything else).
  // On success *error is ERROR_SUCCESS. Must not wait for the device; it may read the
  // device's description (sysfs) to check the path.
  virtual std::shared_ptr<FileObject> OpenDevice(std::u16string_view path, DWORD access,
                                                 DWORD share, DWORD flags, bool* is_device,
                                                 DWORD* error) = 0;
  // LoadLibraryW and the device helper's direct calls: the module of that name
  // (case-insensitive, the ".dll" optional), or null when the ground has none, which the
  // caller reports as ERROR_MOD_NOT_FOUND. Must not block. The module's entries follow
  // the Windows signatures and report failure through SetLastError as Windows does.
  virtual std::shared_ptr<const Module> FindModule(std::u16string_view name) = 0;
  // GetVersionExW: fills `info` (its dwOSVersionInfoSize already set); false when the
  // version cannot be read, which the caller reports as ERROR_CALL_NOT_IMPLEMENTED.
  virtual bool GetVersion(OSVERSIONINFOEXW* info) = 0;
  // GetLocalTime: the real local time unless the ground scripts its clock. Cannot fail.
  virtual void GetLocalTime(SYSTEMTIME* time);
  // RegOpenKeyExW and the reads after it: the key `path` below a predefined root
  // (HKEY_LOCAL_MACHINE, ...) as it is now, or nothing when the ground has no such key
  // (the caller's ERROR_FILE_NOT_FOUND; the default: an empty registry). May read sysfs.
  virtual std::optional<RegistryKeyData> ReadRegistryKey(HKEY root, std::u16string_view path);
  // GetTempPathW: the user's temporary folder, or nothing for the environment's (TMPDIR,
  // else /tmp). By default nothing. Must not block.
  virtual std::optional<std::u16string> TempFolder();
  // Called by CreateProcessW before it starts a program: entries ("NAME=value") to add
  // to the program's environment, and an object kept until the program has ended (null
  // when there is nothing to keep). By default neither. Cannot fail.
  virtual std::shared_ptr<void> ShareWithProcess(std::vector<std::string>* environment);
};

// The ground the system interface forwards to. Chosen once at start-up; tests
// install a fresh one per test. Null until installed: calls then act as on a
// machine without devices or modules.
void SetGround(std::shared_ptr<Ground> ground);
std::shared_ptr<Ground> CurrentGround();

// Handles.
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);
template <typename T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}
std::size_t OpenHandleCount();
// The kernel name of a key opened by RegOpenKeyExW or of a predefined root; false for
// anything else.
bool RegistryKeyName(HKEY key, std::u16string* name);

// How a call fails: sets the thread's last error to `error` and gives `value`.
template <typename T = BOOL>
T Failed(DWORD error, T value = FALSE) {
  SetLastError(error);
  return value;
}

// The Win32 error code for an errno value.
DWORD ErrorFromErrno(int error);

// The real local time, which grounds give unless they script their clock.
void SystemLocalTime(SYSTEMTIME* time);

// Text conversion at the system boundary (paths, debug output).
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

}  // namespace qzplatform

#endif  // !_WIN32
