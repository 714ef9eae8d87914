// A timer ticking on the main thread through the dispatcher's timers.
#include "qzclasses/timer.h"

namespace qz {

TqzTimer::TqzTimer() : fDispatcher(Dispatcher::Main()) {}

TqzTimer::~TqzTimer() {
  FEnabled = false;
  UpdateTimer();
}

void TqzTimer::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  UpdateTimer();
}

void TqzTimer::SetInterval(std::uint32_t Value) {
  if (Value == FInterval) return;
  FInterval = Value;
  UpdateTimer();
}

void TqzTimer::SetOnTimer(const TqzTimerEvent& Value) {
  FOnTimer = Value;
  UpdateTimer();
}

void TqzTimer::DoTimer() {
  if (FEnabled && FOnTimer) FOnTimer(this);
}

void TqzTimer::UpdateTimer() {
  if (fTimerId != 0) {
    fDispatcher.KillTimer(fTimerId);
    fTimerId = 0;
  }
  if (FInterval != 0 && FEnabled && FOnTimer) {
    fTimerId = fDispatcher.SetTimer(FInterval, [this] { Tick(); });
  }
}

void TqzTimer::Tick() {
  try {
    DoTimer();
  } catch (...) {
    // A failing handler does not stop the timer.
  }
}

}  // namespace qz
