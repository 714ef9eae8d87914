// Ctrl-C as a request to stop what qzhid is waiting for, not as the end of the program.
#include "interrupts.h"

#include <atomic>
#include <csignal>

namespace qzhid {
namespace {

std::atomic<bool> gInterrupted{false};

extern "C" void OnInterrupt(int) { gInterrupted = true; }

}  // namespace

InterruptCatcher::InterruptCatcher() : previous_(std::signal(SIGINT, &OnInterrupt)) {
  gInterrupted = false;
}

InterruptCatcher::~InterruptCatcher() { std::signal(SIGINT, previous_); }

bool Interrupted() { return gInterrupted; }

}  // namespace qzhid
