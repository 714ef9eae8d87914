// The device helper off Windows. Started by a program on the sim ground, it acts on
// that program's simulated machine.
#include "qzplatform/sim/shared_machine.h"
#include "stub.h"

int main() {
  qzplatform::sim::ConnectToSharedMachine();
  const DWORD code = x64stub::RunStub(x64stub::SystemCalls(), GetCommandLineW());
  // An exit status holds 8 bits here: a failure whose code ends in a zero byte would
  // read as success, so it exits with 255.
  if (code == 0) return 0;
  return (code & 0xFF) != 0 ? static_cast<int>(code & 0xFF) : 255;
}
