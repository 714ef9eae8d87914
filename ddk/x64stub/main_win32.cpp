// The device helper on Windows: a GUI-subsystem program without a window; its outcome
// is its exit code.
#include "stub.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // The whole command line, split with the program's name first: the text Windows
  // passes here would split its first argument by the program name's rules.
  return static_cast<int>(x64stub::RunStub(x64stub::SystemCalls(), GetCommandLineW()));
}
