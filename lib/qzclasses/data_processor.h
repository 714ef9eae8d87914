// The base of data processors: components linked to an I/O component that see every
// received block first, can be chained, and send data to the device.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "qzclasses/component.h"
#include "qzclasses/custom_log_file.h"
#include "qzclasses/format.h"
#include "qzclasses/timer.h"
#include "qzclasses/types.h"

namespace qz {

// A derived processor deleted directly (not by its owner) while its component receives
// calls NotifyRemoval() first in its destructor, so that DoProcessing is never called on
// it once its own part is gone.
class TqzCustomDataProcessor : public Component {
 public:
  // Needs an installed dispatcher for its completion timer (throws Error otherwise).
  explicit TqzCustomDataProcessor(Component* AOwner);
  ~TqzCustomDataProcessor() override;

  Text ClassName() const override { return u"TqzCustomDataProcessor"; }
  void Notification(Component* AComponent, Operation AOperation) override;

  // The listener entered into the linked component: code 1 medium closed, 2 opened.
  virtual void DeviceNotify(Component* Sender, std::int32_t Code);
  virtual void DoMediumClosed();
  virtual void DoMediumOpened();
  // The next processor of the chain; it is linked to this processor's component. The
  // processor itself is refused silently.
  virtual void SetDataProcessor(TqzCustomDataProcessor* Value);
  // Links the I/O component and listens to it; null unlinks.
  virtual void SetDevice(TqzBaseIO* Value);
  virtual void SetActive(bool Value) { fActive = Value; }
  // Offers the block to OnDataSend (which may rewrite it in place or take the send over),
  // else sends it with the component's SendData and flushes the device. A handled send
  // restarts the completion timer. Errors are dropped.
  virtual void DoDataSend(void* Buffer, std::uint32_t Len);
  // Offers a copy of S to OnDataSend, then sends the copy as the handler left it with the
  // component's SendString. Errors are dropped.
  virtual void DoDataSendString(const std::string& S);
  // One tick per start: disarms the timer, then DoAfterSendComplete.
  virtual void AsyncTimerTick(TqzTimer* Sender);
  // Restarts the completion timer with Interval milliseconds; 0 only stops it.
  virtual void StartAsyncTimer(std::uint32_t Interval);
  // The handler may suppress the error; the log gets "Fatal Error: ..."; else Error(Msg).
  virtual void DoFatalErrors(std::uint32_t Code, std::uint32_t Detail, const Text& Msg);
  // Passes the block on to the next processor; concrete processors add stages to R to
  // keep the block from the later stages of the component's receive path.
  virtual void DoProcessing(const void* Data, std::uint32_t Len, TIgnoreTypes& R);
  // A block given to the processor directly (not through a component).
  virtual void DataReceive(const void* ptrBuffer, std::uint32_t Len);
  // Whether a completed send is to be ignored; the base leaves flIgnore as it is.
  virtual void DoAfterSendComplete(bool& flIgnore);

  TqzBaseIO* GetDevice() const { return fDevice; }
  TqzCustomDataProcessor* GetDataProcessor() const { return fDataProcessor.load(); }
  bool GetActive() const { return fActive; }
  TqzCustomLogFile* GetLog() const { return fLog.load(); }
  void SetLog(TqzCustomLogFile* Value);
  const TOnFatalErrorEvent& GetOnFatalError() const { return fOnFatalError; }
  void SetOnFatalError(const TOnFatalErrorEvent& Value) { fOnFatalError = Value; }
  const TDataSendEvent& GetOnDataSend() const { return fOnDataSend; }
  void SetOnDataSend(const TDataSendEvent& Value) { fOnDataSend = Value; }
  const TqzTimer& GetTimerAsync() const { return *fTimerAsync; }

  void LogAdd(TDetailLevel Level, const Text& text);
  void LogAddFmt(TDetailLevel Level, const Text& Format, const FormatArgs& Args);

 protected:
  // This processor's DeviceNotify as its class defines it.
  TqzNotifyEvent NotifyHandler() {
    return TqzNotifyEvent::Bind<&TqzCustomDataProcessor::DeviceNotify>(this);
  }

  TqzBaseIO* fDevice = nullptr;
  // The next processor and the log are read by DoProcessing on the I/O thread.
  std::atomic<TqzCustomDataProcessor*> fDataProcessor{nullptr};
  bool fActive = false;
  TOnFatalErrorEvent fOnFatalError;
  std::atomic<TqzCustomLogFile*> fLog{nullptr};
  TDataSendEvent fOnDataSend;
  std::unique_ptr<TqzTimer> fTimerAsync;
  Text sLogPrefix;
};

}  // namespace qz
