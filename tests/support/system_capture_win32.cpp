// Captures on Windows. OutputDebugStringW raises an exception for a debugger to take the
// text from; a vectored handler sees it first, keeps the text and lets the call return as a
// debugger would, so nothing reaches the system-wide monitor.
#include "system_capture.h"

#include <windows.h>

#include <mutex>
#include <utility>

namespace qztest {
namespace {

// Raised by OutputDebugStringW (wide text) and OutputDebugStringA: parameters are the
// length with the terminator and the text.
constexpr DWORD kPrintWide = 0x4001000A;
constexpr DWORD kPrintAnsi = 0x40010006;

std::mutex capture_mutex;
std::vector<std::u16string> captured;

std::u16string AnsiToText(const char* text) {
  const int count = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (count <= 1) return {};
  std::u16string out(count - 1, u'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, reinterpret_cast<wchar_t*>(out.data()), count);
  return out;
}

LONG CALLBACK TakeDebugString(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  if (record->NumberParameters < 2) return EXCEPTION_CONTINUE_SEARCH;
  const auto text = record->ExceptionInformation[1];
  std::u16string line;
  if (record->ExceptionCode == kPrintWide) {
    line = reinterpret_cast<const char16_t*>(text);
  } else if (record->ExceptionCode == kPrintAnsi) {
    line = AnsiToText(reinterpret_cast<const char*>(text));
  } else {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  std::lock_guard lock(capture_mutex);
  captured.push_back(std::move(line));
  return EXCEPTION_CONTINUE_EXECUTION;
}

void* handler = nullptr;

}  // namespace

DebugOutputCapture::DebugOutputCapture() {
  Take();
  handler = AddVectoredExceptionHandler(1, TakeDebugString);
}

DebugOutputCapture::~DebugOutputCapture() {
  RemoveVectoredExceptionHandler(handler);
  handler = nullptr;
}

std::vector<std::u16string> DebugOutputCapture::Take() {
  std::lock_guard lock(capture_mutex);
  return std::exchange(captured, {});
}

bool CanCaptureMessageBoxes() { return false; }

MessageBoxCapture::MessageBoxCapture() = default;
MessageBoxCapture::~MessageBoxCapture() = default;
std::vector<std::u16string> MessageBoxCapture::Take() { return {}; }

std::filesystem::path ProgramPath() {
  wchar_t path[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
  return std::filesystem::path(std::wstring(path, length));
}

}  // namespace qztest
