// Captures off Windows: the ground's own test hooks.
#include "system_capture.h"

#include "qzplatform/ground.h"
#include "qzplatform/test_hooks.h"

namespace qztest {

DebugOutputCapture::DebugOutputCapture() { qzplatform::CaptureDebugOutput(true); }
DebugOutputCapture::~DebugOutputCapture() { qzplatform::CaptureDebugOutput(false); }
std::vector<std::u16string> DebugOutputCapture::Take() { return qzplatform::TakeDebugOutput(); }

bool CanCaptureMessageBoxes() { return true; }

MessageBoxCapture::MessageBoxCapture() { qzplatform::CaptureMessageBoxes(true); }
MessageBoxCapture::~MessageBoxCapture() { qzplatform::CaptureMessageBoxes(false); }
std::vector<std::u16string> MessageBoxCapture::Take() { return qzplatform::TakeMessageBoxes(); }

std::filesystem::path ProgramPath() { return std::filesystem::read_symlink("/proc/self/exe"); }

}  // namespace qztest
