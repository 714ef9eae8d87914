// The base of the library's I/O components: device list, open/close state, worker thread,
// listeners, log link and fatal-error reporting.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "qzclasses/component.h"
#include "qzclasses/custom_log_file.h"
#include "qzclasses/device.h"
#include "qzclasses/edit_control.h"
#include "qzclasses/format.h"
#include "qzclasses/message.h"
#include "qzclasses/notify_list.h"
#include "qzclasses/thread_io.h"
#include "qzclasses/types.h"
#include "qzplatform/win32.h"

namespace qz {

class TqzCustomDataProcessor;

// Posted to an edit control when it is bound as terminal (WParam: the component) and when
// it is released (WParam 0).
inline constexpr UINT kTerminalBindMessage = 2999;

// A device list as handed out by GetDeviceList: each record under its display text.
using TqzDeviceList = std::vector<std::pair<Text, TqzDevice*>>;

class TqzBaseIO : public Component {
 public:
  explicit TqzBaseIO(Component* AOwner);
  ~TqzBaseIO() override;

  Text ClassName() const override { return u"TqzBaseIO"; }
  // Re-applies the stored Active; an error here ends in an "error" message box.
  void Loaded() override;
  void Notification(Component* AComponent, Operation AOperation) override;

  // Reads the stored value while loading or at design time, else whether a device is open.
  bool GetActive() const;
  // While loading only stores the value; at design time tries an open and closes at once.
  void SetActive(bool Value);

  TqzCustomLogFile* GetLog() const { return fLog.load(); }
  void SetLog(TqzCustomLogFile* Value);
  TqzCustomDataProcessor* GetDataProcessor() const { return fDataProcessor.load(); }
  // Clearing it unlinks the processor; a new processor is linked to this component.
  void SetDataProcessor(TqzCustomDataProcessor* Value);
  EditControl* GetTerminal() const { return fTerminal.load(); }
  // Releases the previous terminal (its window procedure back, message 2999 with 0) and
  // hooks Value's typed characters (message 2999 with this component). Also for the same
  // control again.
  void SetTerminal(EditControl* Value);
  TTerminalUsage GetTerminalUsage() const { return fTerminalUsage; }
  void SetTerminalUsage(TTerminalUsage Value);
  bool GetTerminalEcho() const { return fTerminalEcho; }
  void SetTerminalEcho(bool Value) { fTerminalEcho = Value; }
  TThreadPriority GetPriority() const { return fPriority; }
  void SetPriority(TThreadPriority Value) { fPriority = Value; }
  bool GetUseMainThread() const { return fUseMainThread; }
  void SetUseMainThread(bool Value) { fUseMainThread = Value; }
  const TNotifyEvent& GetOnOpen() const { return fOnOpen; }
  void SetOnOpen(const TNotifyEvent& Value) { fOnOpen = Value; }
  const TNotifyEvent& GetOnClose() const { return fOnClose; }
  void SetOnClose(const TNotifyEvent& Value) { fOnClose = Value; }
  const TOnReceived& GetOnAfterReceive() const { return fOnReceived; }
  void SetOnAfterReceive(const TOnReceived& Value) { fOnReceived = Value; }
  const TOnFatalErrorEvent& GetOnFatalError() const { return fOnFatalError; }
  void SetOnFatalError(const TOnFatalErrorEvent& Value) { fOnFatalError = Value; }

  std::int32_t GetDeviceCount() const { return static_cast<std::int32_t>(slDevices.size()); }
  // The record at Index, or null when Index is outside the list.
  TqzDevice* GetDevice(std::int32_t Index) const;
  // Position of that record in the device list, or -1.
  std::int32_t IndexOfDevice(const TqzDevice* aDevice) const;

  virtual bool IsOpened() const { return fHandle.load() != INVALID_HANDLE_VALUE; }
  // Returns the opened handle or INVALID_HANDLE_VALUE; sets isThreaded for this open.
  virtual HANDLE OpenDevice() { return INVALID_HANDLE_VALUE; }
  virtual void CloseDevice(HANDLE Handle);
  // True when a terminal is set, an OnAfterReceive handler is assigned or a data
  // processor is linked: only then is a received block worth passing to DoReceive.
  virtual bool HasReceivers() const;
  virtual void DoOpen();
  virtual void DoClose();
  virtual void StartThreadIO();
  virtual void StopThreadIO();
  // The I/O thread's body; it polls IsThreadIOTerminated.
  virtual void ThreadIOExecute(TqzThreadIO* Thread);
  // The handler may suppress the error; the log gets "Fatal Error: ..."; then, unless
  // suppressed or loading, Error(ErrorMsg) is raised, or shown in a message box (ShowOnly).
  virtual void DoFatalError(std::uint32_t ErrorCode, std::uint32_t Detail, const Text& ErrorMsg,
                            bool ShowOnly);
  virtual void DoNotify(std::int32_t Code);
  // The receive path for one block (valid only during the call): the data processor, the
  // terminal, then OnAfterReceive. With UseMainThread, a call on the I/O thread hands the
  // block to the main thread and waits. Errors of the receivers pass through. Always false.
  virtual bool DoReceive(const void* Data, std::uint32_t Len);
  // Whether the data processor asks to ignore a completed send (false without one).
  virtual bool DoAfterSend();
  // Tells the listeners (code 3); the concrete component keeps and applies the index first.
  virtual void SetDeviceIndex(std::int32_t Value);
  virtual std::int32_t GetDeviceIndex() const;  // abstract
  // Appends the record; the list owns it from then on. Returns its position.
  virtual std::int32_t AddDevice(TqzDevice* Device);
  // Inserts keeping the list ascending by Data; returns the position, or -1 (record not
  // taken, still the caller's) when a record with the same Data is already there.
  virtual std::int32_t InsertDevice(TqzDevice* Device);
  virtual void DeviceListLoad();  // abstract
  // Empties the list, freeing the records when flClearDeviceListWithFree is set.
  virtual void DeviceListClear();
  // Writes received bytes into the terminal, each byte as the character of the same value:
  // one byte as a typed key, more as literal text (runs split at NUL bytes). Shown only
  // when the usage includes receiving. Throws Error for a negative Len or missing Data.
  virtual void TerminalWrite(const void* Data, std::int32_t Len);
  virtual void Update();
  virtual void NotifyAdd(const TqzNotifyEvent& NotifyEvent);
  virtual void NotifyDelete(const TqzNotifyEvent& NotifyEvent);
  virtual void SendChar(char16_t Ch);                         // abstract
  virtual void SendString(const std::string& S);              // abstract
  virtual void SendData(const void* Buff, std::uint32_t N);  // abstract
  virtual void ClearDeviceInput();                            // abstract
  virtual void ClearDeviceOutput();                           // abstract
  virtual void ClearDeviceBuffers();                          // abstract
  // Loads the device list first when it is empty; then, when L is given, fills L with the
  // entries (the records are shared, not copied).
  virtual void GetDeviceList(TqzDeviceList* L);
  // The owner forwards device-change messages here; arrival or removal of a port, or any
  // change of the device tree, updates the list. Returns whether it did.
  virtual bool WMDeviceChange(Message& Msg);

 protected:
  // Held by a thread while it may use the links (log, data processor) off the main
  // thread's watch: a removal notice clears its link and then waits until no other thread
  // holds a use, so a linked component is never used once told that it goes away. The
  // I/O thread holds one except while it waits for the device; a hand-off to the main
  // thread lends it to the main thread.
  class LinkUse {
   public:
    explicit LinkUse(TqzBaseIO& io);
    ~LinkUse();
    LinkUse(const LinkUse&) = delete;
    LinkUse& operator=(const LinkUse&) = delete;

    // The uses the calling thread holds on io.
    static int Held(const TqzBaseIO& io);

   private:
    static thread_local const LinkUse* innermost_;  // the calling thread's uses
    TqzBaseIO& io_;
    const LinkUse* outer_;
  };
  // Returns once no thread but the calling one holds a LinkUse; the main thread keeps
  // running hand-offs meanwhile.
  void WaitLinkUsers();

  void LogAdd(TDetailLevel Level, const Text& text);
  void LogAddFmt(TDetailLevel Level, const Text& Format, const FormatArgs& Args);
  // The prefix of logged texts: sLogPrefix when set, else the concrete class name.
  Text LogPrefix() const { return sLogPrefix ? *sLogPrefix : ClassName(); }
  // Waits until the last I/O thread has finished (not when called on that thread).
  void WaitThreadIOFinished();
  // The main thread's half of a hand-off: DoReceive(threadData, threadDataSize).
  void SyncReceive();
  // Installed as the terminal's window procedure: typed characters go to SendChar.
  void TerminalWndProc(Message& Msg);

  TqzNotifyList qzNotifyList;
  std::atomic<TqzCustomLogFile*> fLog{nullptr};
  // The receive path reads the links on the I/O thread while the main thread sets them.
  std::atomic<TqzCustomDataProcessor*> fDataProcessor{nullptr};
  TOnFatalErrorEvent fOnFatalError;
  TqzDeviceList slDevices;
  const void* threadData = nullptr;
  std::uint32_t threadDataSize = 0;
  std::atomic<HWND> hTerminal{nullptr};
  TTerminalUsage fTerminalUsage = tuNone;
  std::atomic<EditControl*> fTerminal{nullptr};
  bool fTerminalEcho = false;
  TWndMethod fOldTerminalWndProc;
  std::atomic<bool> fTerminalLocked{false};
  TNotifyEvent fOnClose;
  TNotifyEvent fOnOpen;
  std::shared_ptr<TqzThreadIO> fThreadIO;
  TOnReceived fOnReceived;
  bool fUseMainThread = false;
  TThreadPriority fPriority = tpNormal;
  bool fActive = false;
  std::atomic<HANDLE> fHandle{INVALID_HANDLE_VALUE};
  std::optional<Text> sLogPrefix;
  bool flClearDeviceListWithFree = true;
  OVERLAPPED fOvlRead{};
  OVERLAPPED fOvlWrite{};
  OVERLAPPED fOvlAsync{};
  std::atomic<bool> isThreaded{false};
  std::atomic<bool> IsThreadIOTerminated{false};

 private:
  // A processor reads the device handle (to flush it) and its own listener entry.
  friend class TqzCustomDataProcessor;

  // Adds delta to the LinkUse count, waking a waiter when it drops to none.
  void ReturnLinkUses(int delta);
  // Puts the terminal's window procedure back and tells it that it is released.
  void ReleaseTerminal();
  // Sends Msg to the terminal window hTerminal names, on the main thread; nothing when
  // there is none.
  void SendToTerminal(UINT Msg, WPARAM WParam, LPARAM LParam);

  // Whether the calling thread is an I/O thread of this component.
  bool OnOwnIOThread() const;

  // The thread whose DoClose runs (none while no close runs): a close from the I/O thread
  // and one from the main thread at the same moment close the handle once, and a close
  // from the main thread finishes after the loop's own close, whatever its OnClose did.
  std::atomic<std::thread::id> fClosingThread{};
  // LinkUse holders, and threads waiting in WaitLinkUsers.
  std::atomic<int> fLinkUsers{0};
  std::atomic<int> fLinkWaiters{0};
};

}  // namespace qz
