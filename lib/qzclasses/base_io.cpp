// The base of the library's I/O components.
#include "qzclasses/base_io.h"

#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "qzclasses/data_processor.h"
#include "qzclasses/dispatcher.h"
#include "qzclasses/errors.h"

namespace qz {

namespace {

// Device-change message values (dbt.h).
constexpr WPARAM kDeviceArrival = 0x8000;
constexpr WPARAM kDeviceRemoveComplete = 0x8004;
constexpr WPARAM kDevNodesChanged = 0x0007;
constexpr DWORD kDeviceTypePort = 3;

// The header every device broadcast record starts with.
struct BroadcastHeader {
  DWORD dbch_size;
  DWORD dbch_devicetype;
  DWORD dbch_reserved;
};

// Waits until done(); the main thread keeps running hand-offs meanwhile, so a worker
// that hands a call over while it is waited for still finishes.
void Await(const std::function<bool()>& done) {
  if (Dispatcher::IsInstalled()) {
    Dispatcher::Main().WaitUntil(done);
  } else {
    while (!done()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

HANDLE NewAutoResetEvent() {
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!event) throw Error(u"Cannot create the event of an overlapped record");
  return event;
}

}  // namespace

TqzBaseIO::TqzBaseIO(Component* AOwner) : Component(AOwner) {
  fOvlRead.hEvent = NewAutoResetEvent();
  try {
    fOvlWrite.hEvent = NewAutoResetEvent();
  } catch (...) {
    CloseHandle(fOvlRead.hEvent);
    throw;
  }
}

TqzBaseIO::~TqzBaseIO() {
  // A terminal that stays would call its hook on a destroyed component.
  ReleaseTerminal();
  // Linked components are told while the listener list still exists: a linked component
  // removes its listener when told.
  NotifyRemoval();
  // A thread still running would call into a destroyed component.
  if (fThreadIO && !fThreadIO->Finished() && !fThreadIO->IsCurrentThread()) {
    IsThreadIOTerminated = true;
    fThreadIO->Terminate();
    fThreadIO->WaitFor();
  }
  CloseHandle(fOvlWrite.hEvent);
  CloseHandle(fOvlRead.hEvent);
  DeviceListClear();
  qzNotifyList.Clear();
}

thread_local const TqzBaseIO::LinkUse* TqzBaseIO::LinkUse::innermost_ = nullptr;

TqzBaseIO::LinkUse::LinkUse(TqzBaseIO& io) : io_(io), outer_(innermost_) {
  // Counted before any link is read: a removal that finds no user has cleared the link
  // before this thread reads it.
  ++io_.fLinkUsers;
  innermost_ = this;
}

TqzBaseIO::LinkUse::~LinkUse() {
  innermost_ = outer_;
  io_.ReturnLinkUses(-1);
}

int TqzBaseIO::LinkUse::Held(const TqzBaseIO& io) {
  int held = 0;
  for (const LinkUse* use = innermost_; use; use = use->outer_)
    if (&use->io_ == &io) ++held;
  return held;
}

bool TqzBaseIO::OnOwnIOThread() const {
  const TqzThreadIO* thread = TqzThreadIO::Current();
  return thread != nullptr && thread->GetLink() == this;
}

void TqzBaseIO::ReturnLinkUses(int delta) {
  // A waiter may sleep until woken: wake it when the last use ends.
  if ((fLinkUsers += delta) == 0 && fLinkWaiters.load() > 0 && Dispatcher::IsInstalled())
    Dispatcher::Main().Signal();
}

void TqzBaseIO::WaitLinkUsers() {
  const int own = LinkUse::Held(*this);
  if (fLinkUsers.load() <= own) return;
  ++fLinkWaiters;
  try {
    Await([&] { return fLinkUsers.load() <= own; });
  } catch (...) {
    // A posted call failed meanwhile; this wait runs in removal notices, which must not
    // raise, so the error goes back to the main thread's queue.
    Dispatcher::Main().Post(
        [error = std::current_exception()] { std::rethrow_exception(error); });
  }
  --fLinkWaiters;
}

bool TqzBaseIO::GetActive() const {
  if (Loading() || Designing()) return fActive;
  return IsOpened();
}

void TqzBaseIO::SetActive(bool Value) {
  if (Loading()) {
    fActive = Value;
    return;
  }
  if (Value == GetActive() && !Designing()) return;
  if (Value) {
    DoOpen();
  } else {
    DoClose();
  }
  if (Designing()) {
    // The designer only tests whether the device opens; it never stays open there.
    fActive = IsOpened();
    if (fActive) DoClose();
  }
}

void TqzBaseIO::SetLog(TqzCustomLogFile* Value) {
  fLog = Value;
  if (Value) Value->FreeNotification(this);
}

TqzDevice* TqzBaseIO::GetDevice(std::int32_t Index) const {
  if (Index < 0 || Index >= GetDeviceCount()) return nullptr;
  return slDevices[static_cast<std::size_t>(Index)].second;
}

std::int32_t TqzBaseIO::IndexOfDevice(const TqzDevice* aDevice) const {
  for (std::size_t i = 0; i < slDevices.size(); ++i) {
    if (slDevices[i].second == aDevice) return static_cast<std::int32_t>(i);
  }
  return -1;
}

void TqzBaseIO::CloseDevice(HANDLE Handle) { CloseHandle(Handle); }

void TqzBaseIO::DoOpen() {
  fHandle = OpenDevice();
  if (!IsOpened()) return;
  if (isThreaded) {
    try {
      StartThreadIO();
    } catch (...) {
      // Without its reader the device must not stay open.
      CloseDevice(fHandle.exchange(INVALID_HANDLE_VALUE));
      throw;
    }
  }
  if (fOnOpen) {
    try {
      fOnOpen(this);
    } catch (...) {
    }
  }
}

void TqzBaseIO::DoClose() {
  const std::thread::id me = std::this_thread::get_id();
  std::thread::id closer{};
  bool owner = fClosingThread.compare_exchange_strong(closer, me);
  // A close inside this thread's own close (its OnClose) goes ahead: the outer one has
  // finished with its handle.
  while (!owner && closer != me) {
    // The other close waits for this thread's loop and closes the handle itself.
    if (OnOwnIOThread()) return;
    // The I/O thread's own close may reopen from its OnClose: it finishes first, then
    // this close takes effect on what is open by then.
    Await([&] { return fClosingThread.load() == std::thread::id{}; });
    closer = std::thread::id{};
    owner = fClosingThread.compare_exchange_strong(closer, me);
  }
  struct Release {
    std::atomic<std::thread::id>& closer;
    bool owner;
    ~Release() {
      if (owner) closer = std::thread::id{};
    }
  } release{fClosingThread, owner};
  const HANDLE handle = fHandle.load();
  if (handle == INVALID_HANDLE_VALUE) return;
  // The handle goes first, so that a read the thread is blocked in ends.
  CloseDevice(handle);
  if (isThreaded) StopThreadIO();
  fHandle = INVALID_HANDLE_VALUE;
  if (fOnClose) {
    try {
      fOnClose(this);
    } catch (...) {
    }
  }
}

void TqzBaseIO::StartThreadIO() {
  // A new loop must not begin while the previous one still runs.
  if (fThreadIO && !fThreadIO->Finished()) {
    IsThreadIOTerminated = true;
    fThreadIO->Terminate();
    WaitThreadIOFinished();
  }
  IsThreadIOTerminated = false;
  // Published before it runs, so the new thread finds itself in fThreadIO.
  auto thread = TqzThreadIO::CreateSuspended(this, fPriority);
  fThreadIO = thread;
  thread->Start();
}

void TqzBaseIO::StopThreadIO() {
  if (IsThreadIOTerminated.exchange(true)) return;
  const std::shared_ptr<TqzThreadIO> thread = fThreadIO;
  if (!thread) return;
  thread->Terminate();
  thread->WaitFor();
}

void TqzBaseIO::WaitThreadIOFinished() {
  const std::shared_ptr<TqzThreadIO> thread = fThreadIO;
  if (thread) thread->WaitFor();
}

void TqzBaseIO::ThreadIOExecute(TqzThreadIO*) {}

void TqzBaseIO::DoFatalError(std::uint32_t ErrorCode, std::uint32_t Detail, const Text& ErrorMsg,
                             bool ShowOnly) {
  bool raise = true;
  if (fOnFatalError) fOnFatalError(this, ErrorCode, Detail, ErrorMsg, raise);
  if (TqzCustomLogFile* log = GetLog())
    log->AddLogFmt(dlSimple, u"Fatal Error: %u, %u, %s", {ErrorCode, Detail, ErrorMsg});
  if (!raise || Loading()) return;
  if (!ShowOnly) throw Error(ErrorMsg);
  const Text caption = u"Error";
  MessageBoxW(nullptr, qzplatform::AsWide(ErrorMsg), qzplatform::AsWide(caption),
              MB_ICONERROR | MB_TASKMODAL);
}

void TqzBaseIO::DoNotify(std::int32_t Code) { qzNotifyList.Call(this, Code); }

void TqzBaseIO::SetDeviceIndex(std::int32_t) { DoNotify(3); }

std::int32_t TqzBaseIO::GetDeviceIndex() const { throw AbstractError(); }

std::int32_t TqzBaseIO::AddDevice(TqzDevice* Device) {
  if (!Device) throw Error(u"A null device cannot be added to the device list");
  if (IndexOfDevice(Device) >= 0) throw Error(u"The device is already in the device list");
  slDevices.emplace_back(Device->NameFriendly, Device);
  Device->fIndex = GetDeviceCount() - 1;
  Device->fParent = this;
  return Device->fIndex;
}

std::int32_t TqzBaseIO::InsertDevice(TqzDevice* Device) {
  if (!Device) throw Error(u"A null device cannot be added to the device list");
  if (slDevices.empty() || slDevices.back().second->Data < Device->Data) return AddDevice(Device);
  for (std::size_t i = 0; i < slDevices.size(); ++i) {
    const std::int32_t key = slDevices[i].second->Data;
    if (key == Device->Data) return -1;
    if (key > Device->Data) {
      slDevices.insert(slDevices.begin() + static_cast<std::ptrdiff_t>(i),
                       {Device->NameFriendly, Device});
      Device->fIndex = static_cast<std::int32_t>(i);
      Device->fParent = this;
      for (std::size_t k = i + 1; k < slDevices.size(); ++k) ++slDevices[k].second->fIndex;
      return Device->fIndex;
    }
  }
  return -1;  // not reached: the last key is not below Device's
}

void TqzBaseIO::DeviceListLoad() { throw AbstractError(); }

void TqzBaseIO::DeviceListClear() {
  TqzDeviceList entries;
  entries.swap(slDevices);
  if (flClearDeviceListWithFree) {
    for (auto& entry : entries) delete entry.second;
  }
}

void TqzBaseIO::Update() { DoNotify(3); }

// Listeners are told apart by code and object: two boxes (or two processors) of one class
// on one component each keep their own entry.
void TqzBaseIO::NotifyAdd(const TqzNotifyEvent& NotifyEvent) {
  if (qzNotifyList.IndexOfListener(NotifyEvent) < 0) qzNotifyList.Add(NotifyEvent);
}

void TqzBaseIO::NotifyDelete(const TqzNotifyEvent& NotifyEvent) {
  const std::int32_t index = qzNotifyList.IndexOfListener(NotifyEvent);
  if (index >= 0) qzNotifyList.Delete(index);
}

void TqzBaseIO::SendChar(char16_t) { throw AbstractError(); }
void TqzBaseIO::SendString(const std::string&) { throw AbstractError(); }
void TqzBaseIO::SendData(const void*, std::uint32_t) { throw AbstractError(); }
void TqzBaseIO::ClearDeviceInput() { throw AbstractError(); }
void TqzBaseIO::ClearDeviceOutput() { throw AbstractError(); }
void TqzBaseIO::ClearDeviceBuffers() { throw AbstractError(); }

void TqzBaseIO::GetDeviceList(TqzDeviceList* L) {
  if (slDevices.empty()) DeviceListLoad();
  if (L) *L = slDevices;
}

bool TqzBaseIO::WMDeviceChange(Message& Msg) {
  if (Msg.Msg != WM_DEVICECHANGE) return false;
  bool update = false;
  if (Msg.WParam == kDevNodesChanged) {
    update = true;
  } else if (Msg.WParam == kDeviceArrival || Msg.WParam == kDeviceRemoveComplete) {
    // A message without its broadcast record is ignored rather than read through null.
    if (Msg.LParam != 0) {
      BroadcastHeader header;
      std::memcpy(&header, reinterpret_cast<const void*>(Msg.LParam), sizeof header);
      update = header.dbch_devicetype == kDeviceTypePort;
    }
  }
  if (update) Update();
  return update;
}

void TqzBaseIO::Loaded() {
  Component::Loaded();
  try {
    SetTerminal(GetTerminal());
    SetTerminalUsage(fTerminalUsage);
    SetActive(fActive);
  } catch (...) {
    const Text text = u"error";
    const Text caption = u"Error";
    MessageBoxW(GetForegroundWindow(), qzplatform::AsWide(text), qzplatform::AsWide(caption),
                MB_ICONERROR);
  }
}

void TqzBaseIO::Notification(Component* AComponent, Operation AOperation) {
  Component::Notification(AComponent, AOperation);
  if (AOperation != Operation::Remove) return;
  if (AComponent != nullptr && AComponent == static_cast<Component*>(GetDataProcessor())) {
    SetDataProcessor(nullptr);
  } else if (AComponent != nullptr && AComponent == GetTerminal()) {
    // The control is going away: its window procedure is not put back.
    fTerminal = nullptr;
    hTerminal = nullptr;
    fOldTerminalWndProc = TWndMethod();
  } else if (AComponent == fLog.load()) {
    fLog = nullptr;
  }
  // A thread may have read a link just before (also one replaced since): it must be done
  // with it before the component goes.
  WaitLinkUsers();
}

void TqzBaseIO::LogAdd(TDetailLevel Level, const Text& text) {
  TqzCustomLogFile* log = GetLog();
  if (!log) return;
  if (text.empty()) {
    log->AddSysInfo();
  } else {
    log->AddLog(Level, LogPrefix() + text);
  }
}

void TqzBaseIO::LogAddFmt(TDetailLevel Level, const Text& Format, const FormatArgs& Args) {
  if (TqzCustomLogFile* log = GetLog()) log->AddLogFmt(Level, LogPrefix() + Format, Args);
}

}  // namespace qz
