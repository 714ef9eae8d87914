// The base of data processors: links, chain, send paths, completion timer, fatal errors.
#include "qzclasses/data_processor.h"

#include "qzclasses/base_io.h"
#include "qzclasses/errors.h"

namespace qz {

TqzCustomDataProcessor::TqzCustomDataProcessor(Component* AOwner)
    : Component(AOwner), fTimerAsync(std::make_unique<TqzTimer>()) {
  fTimerAsync->SetEnabled(false);
  fTimerAsync->SetOnTimer(TqzTimerEvent::Bind<&TqzCustomDataProcessor::AsyncTimerTick>(this));
}

TqzCustomDataProcessor::~TqzCustomDataProcessor() {
  SetDevice(nullptr);
  // Linked components are told while this processor is still whole: the I/O component
  // calls SetDevice on it when told.
  NotifyRemoval();
}

void TqzCustomDataProcessor::Notification(Component* AComponent, Operation AOperation) {
  Component::Notification(AComponent, AOperation);
  if (AOperation != Operation::Remove || AComponent == nullptr) return;
  if (AComponent == GetDataProcessor()) SetDataProcessor(nullptr);
  if (AComponent == fDevice) SetDevice(nullptr);
  if (AComponent == GetLog()) SetLog(nullptr);
  // The component's I/O thread may be inside this processor's DoProcessing, using the
  // link just cleared.
  if (fDevice) fDevice->WaitLinkUsers();
}

void TqzCustomDataProcessor::DeviceNotify(Component*, std::int32_t Code) {
  if (Code == 1) {
    DoMediumClosed();
  } else if (Code == 2) {
    DoMediumOpened();
  }
}

void TqzCustomDataProcessor::DoMediumClosed() { LogAdd(dlDebug, u"Medium Closed"); }

void TqzCustomDataProcessor::DoMediumOpened() { LogAdd(dlDebug, u"Medium Opened"); }

void TqzCustomDataProcessor::SetDataProcessor(TqzCustomDataProcessor* Value) {
  if (Value == this) return;
  // A chain that leads back here would pass every block round for ever.
  for (const TqzCustomDataProcessor* p = Value; p != nullptr; p = p->GetDataProcessor()) {
    if (p == this) throw Error(u"The data processor chain would form a loop");
  }
  fDataProcessor = Value;
  if (Value) {
    FreeNotification(Value);
    Value->SetDevice(fDevice);
  }
}

void TqzCustomDataProcessor::SetDevice(TqzBaseIO* Value) {
  if (fDevice && fDevice != Value) fDevice->NotifyDelete(NotifyHandler());
  fDevice = Value;
  if (Value) {
    FreeNotification(Value);
    Value->NotifyAdd(NotifyHandler());
  }
}

void TqzCustomDataProcessor::DoDataSend(void* Buffer, std::uint32_t Len) {
  if (Len == 0 || Buffer == nullptr) return;
  try {
    bool flHandled = false;
    if (fOnDataSend) fOnDataSend(this, static_cast<char*>(Buffer), Len, false, flHandled);
    if (flHandled) {
      fTimerAsync->SetEnabled(false);
      fTimerAsync->SetEnabled(true);
    } else if (fDevice) {
      fDevice->SendData(Buffer, Len);
      const HANDLE handle = fDevice->fHandle.load();
      if (handle != INVALID_HANDLE_VALUE) FlushFileBuffers(handle);
    }
    LogAddFmt(dlDebug, u"DoDataSend: %u bytes", {Len});
  } catch (...) {
    // A failed send is not reported on this path.
  }
}

void TqzCustomDataProcessor::DoDataSendString(const std::string& S) {
  if (S.empty()) return;
  try {
    std::string copy = S;
    bool flHandled = false;
    if (fOnDataSend) {
      fOnDataSend(this, copy.data(), static_cast<std::uint32_t>(copy.size()), true, flHandled);
    }
    if (!flHandled && fDevice) fDevice->SendString(copy);
  } catch (...) {
    // A failed send is not reported on this path.
  }
}

void TqzCustomDataProcessor::AsyncTimerTick(TqzTimer*) {
  fTimerAsync->SetEnabled(false);
  bool flIgnore = false;
  DoAfterSendComplete(flIgnore);
}

void TqzCustomDataProcessor::StartAsyncTimer(std::uint32_t Interval) {
  fTimerAsync->SetEnabled(false);
  if (Interval == 0) return;
  fTimerAsync->SetInterval(Interval);  // disabled: stores without arming
  fTimerAsync->SetEnabled(true);
}

void TqzCustomDataProcessor::DoFatalErrors(std::uint32_t Code, std::uint32_t Detail,
                                           const Text& Msg) {
  bool raise = true;
  if (fOnFatalError) fOnFatalError(this, Code, Detail, Msg, raise);
  if (TqzCustomLogFile* log = GetLog())
    log->AddLogFmt(dlSimple, u"Fatal Error: %u, %u, %s", {Code, Detail, Msg});
  if (raise) throw Error(Msg);
}

void TqzCustomDataProcessor::DoProcessing(const void* Data, std::uint32_t Len, TIgnoreTypes& R) {
  if (TqzCustomDataProcessor* next = GetDataProcessor()) next->DoProcessing(Data, Len, R);
}

void TqzCustomDataProcessor::DataReceive(const void* ptrBuffer, std::uint32_t Len) {
  TIgnoreTypes R = 0;
  DoProcessing(ptrBuffer, Len, R);
}

void TqzCustomDataProcessor::DoAfterSendComplete(bool&) {}

void TqzCustomDataProcessor::SetLog(TqzCustomLogFile* Value) {
  fLog = Value;
  if (Value) Value->FreeNotification(this);
}

void TqzCustomDataProcessor::LogAdd(TDetailLevel Level, const Text& text) {
  if (TqzCustomLogFile* log = GetLog()) log->AddLog(Level, sLogPrefix + text);
}

void TqzCustomDataProcessor::LogAddFmt(TDetailLevel Level, const Text& Format,
                                       const FormatArgs& Args) {
  if (TqzCustomLogFile* log = GetLog()) log->AddLogFmt(Level, sLogPrefix + Format, Args);
}

}  // namespace qz
