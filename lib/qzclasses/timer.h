// A timer ticking on the main thread through the dispatcher's timers.
#pragma once

#include <cstdint>

#include "qzclasses/dispatcher.h"
#include "qzclasses/method.h"

namespace qz {

class TqzTimer;
using TqzTimerEvent = Method<void(TqzTimer* Sender)>;

// Ticks while Enabled, Interval is not 0 and OnTimer is assigned; each change of these
// re-arms it from the start of a full period. Not a component: its creator destroys it.
class TqzTimer {
 public:
  // Binds to the installed dispatcher (throws Error when there is none).
  TqzTimer();
  virtual ~TqzTimer();
  TqzTimer(const TqzTimer&) = delete;
  TqzTimer& operator=(const TqzTimer&) = delete;

  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  std::uint32_t GetInterval() const { return FInterval; }
  void SetInterval(std::uint32_t Value);
  const TqzTimerEvent& GetOnTimer() const { return FOnTimer; }
  void SetOnTimer(const TqzTimerEvent& Value);  // re-arms, also for an equal value

 protected:
  // Calls OnTimer when enabled; a descendant may replace it.
  virtual void DoTimer();

 private:
  void UpdateTimer();
  void Tick();

  std::uint32_t FInterval = 1000;
  Dispatcher& fDispatcher;
  TimerId fTimerId = 0;
  TqzTimerEvent FOnTimer;
  bool FEnabled = true;
};

}  // namespace qz
