// Ctrl-C as a request to stop what qzhid is waiting for, not as the end of the program.
#pragma once

namespace qzhid {

// While one lives, Ctrl-C sets the flag Interrupted() reads (cleared when it is made).
class InterruptCatcher {
 public:
  InterruptCatcher();
  ~InterruptCatcher();
  InterruptCatcher(const InterruptCatcher&) = delete;
  InterruptCatcher& operator=(const InterruptCatcher&) = delete;

 private:
  void (*previous_)(int);
};

bool Interrupted();

}  // namespace qzhid
