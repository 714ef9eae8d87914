// The grounds behind the system interface off Windows: kernel objects that handles
// refer to, files and devices with overlapped transfers, loadable modules, and the
// active ground that opens devices, provides modules and answers system queries.
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
  // Called once, when the last handle to the object is closed.
  virtual void OnClose() {}
};

// A device whose pending transfers a waiting thread can serve itself: a wait on the
// transfer's event then watches the device too, and the data reaches the waiting thread
// without a hop through the device's own thread.
class WaitSource {
 public:
  virtual ~WaitSource() = default;
  // Waits up to `milliseconds` until the device has something or `wake` is readable,
  // and completes whatever transfers the device has ready.
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

  // Start a transfer: complete `request` now or keep it and complete it later.
  virtual void StartRead(IoRequest request) = 0;
  virtual void StartWrite(IoRequest request) = 0;
  // Complete every kept request with ERROR_OPERATION_ABORTED (CancelIo, close).
  virtual void CancelAll() {}
  // Regular-file operations; devices refuse them with ERROR_INVALID_FUNCTION.
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

// What the active ground answers for. Everything else (handles, events, waits,
// regular files, last error, error texts, module bookkeeping) is common to all grounds.
class Ground {
 public:
  virtual ~Ground() = default;
  virtual std::u16string_view Name() const = 0;

  // Opens `path` if it names one of the ground's devices. Returns null with
  // *is_device false for a path that is not a device (it is then opened as a
  // regular file), or null with *is_device true and *error set when the device
  // refuses the open.
  virtual std::shared_ptr<FileObject> OpenDevice(std::u16string_view path, DWORD access,
                                                 DWORD share, DWORD flags, bool* is_device,
                                                 DWORD* error) = 0;
  // The module of that name (case-insensitive), or null when the ground has none.
  virtual std::shared_ptr<const Module> FindModule(std::u16string_view name) = 0;
  virtual bool GetVersion(OSVERSIONINFOEXW* info) = 0;
  virtual void GetLocalTime(SYSTEMTIME* time);
  // The registry key `path` below a predefined root (HKEY_LOCAL_MACHINE, ...) as it is
  // now, or nothing when the ground has no such key (the default: an empty registry).
  virtual std::optional<RegistryKeyData> ReadRegistryKey(HKEY root, std::u16string_view path);
  // The user's temporary folder for GetTempPathW, or nothing for the environment's
  // (TMPDIR, else /tmp). By default nothing.
  virtual std::optional<std::u16string> TempFolder();
  // Called by CreateProcessW before it starts a program: entries ("NAME=value") to add
  // to the program's environment, and an object kept until the program has ended (null
  // when there is nothing to keep). By default neither.
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

// Test hooks for run-time binding: hide a whole module or one entry of it from
// LoadLibraryW/GetProcAddress, on whichever ground is active.
void HideModule(std::u16string_view module);
void HideEntry(std::u16string_view module, std::string_view entry);
void RevealAll();

// Debugger output (OutputDebugStringW). Captured for tests when capture is on;
// otherwise written to standard error when QZ_DEBUG_OUTPUT=1, else dropped.
void CaptureDebugOutput(bool on);
std::vector<std::u16string> TakeDebugOutput();

// The Win32 error code for an errno value.
DWORD ErrorFromErrno(int error);

// Message boxes (MessageBoxW): captured for tests when capture is on, each as
// caption + "|" + text; otherwise written to standard error.
void CaptureMessageBoxes(bool on);
std::vector<std::u16string> TakeMessageBoxes();

// The real local time, which grounds give unless they script their clock.
void SystemLocalTime(SYSTEMTIME* time);

// Text conversion at the system boundary (paths, debug output).
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

}  // namespace qzplatform

#endif  // !_WIN32
