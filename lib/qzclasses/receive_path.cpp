// The receive path of the base I/O component: data processor, terminal, OnAfterReceive,
// and the hand-off of a block to the main thread.
#include <limits>

#include "qzclasses/base_io.h"
#include "qzclasses/data_processor.h"
#include "qzclasses/errors.h"

namespace qz {

bool TqzBaseIO::HasReceivers() const {
  return GetTerminal() != nullptr || fOnReceived.Assigned() || GetDataProcessor() != nullptr;
}

bool TqzBaseIO::DoReceive(const void* Data, std::uint32_t Len) {
  if (Data == nullptr && Len != 0) {
    throw Error(Format(u"A received block of %u bytes has no data", {Len}));
  }
  TqzThreadIO* thread = TqzThreadIO::Current();
  if (fUseMainThread && thread != nullptr && thread->GetLink() == this) {
    // This thread waits in the hand-off, so the block stays valid until it has run; an
    // error raised on the main thread comes back here.
    threadData = Data;
    threadDataSize = Len;
    // The main thread uses the links for this thread meanwhile: a removal notice there
    // must not wait for this thread's uses, which wait for it.
    struct Loan {
      TqzBaseIO& io;
      const int uses = LinkUse::Held(io);
      explicit Loan(TqzBaseIO& owner) : io(owner) { io.ReturnLinkUses(-uses); }
      ~Loan() { io.ReturnLinkUses(uses); }
    } loan(*this);
    thread->Synchronize([this] { SyncReceive(); });
    return false;
  }
  // Built only when the sink keeps it: this runs once per received report.
  if (TqzCustomLogFile* log = GetLog(); log && log->Accepts(dlDebug))
    LogAdd(dlDebug, u"Input data length: " + Format(u"%u", {Len}));
  TIgnoreTypes R = 0;
  if (TqzCustomDataProcessor* processor = GetDataProcessor()) {
    processor->DoProcessing(Data, Len, R);
  }
  if (GetTerminal() != nullptr && (R & IgnoreBit(itTerminal)) == 0) {
    if (Len > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
      throw Error(Format(u"A block of %u bytes is too long for the terminal", {Len}));
    }
    TerminalWrite(Data, static_cast<std::int32_t>(Len));
  }
  if (fOnReceived) fOnReceived(this, Data, Len);
  return false;
}

void TqzBaseIO::SyncReceive() {
  const LinkUse use(*this);
  DoReceive(threadData, threadDataSize);
}

bool TqzBaseIO::DoAfterSend() {
  bool result = false;
  if (TqzCustomDataProcessor* processor = GetDataProcessor()) {
    processor->DoAfterSendComplete(result);
  }
  return result;
}

void TqzBaseIO::SetDataProcessor(TqzCustomDataProcessor* Value) {
  TqzCustomDataProcessor* linked = GetDataProcessor();
  // Replacing one processor by another leaves the first one linked to this component.
  if (Value == nullptr && linked != nullptr) linked->SetDevice(nullptr);
  fDataProcessor = Value;
  if (Value) {
    Value->SetDevice(this);
    FreeNotification(Value);
  }
}

}  // namespace qz
