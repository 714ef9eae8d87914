// Shared helpers for the sim ground tests.
#include "sim_fixture.h"

#include <atomic>

namespace simtest {

Bytes Hex(std::string_view text) {
  Bytes out;
  int pending = -1;
  for (char c : text) {
    int d = c >= '0' && c <= '9'   ? c - '0'
            : c >= 'A' && c <= 'F' ? c - 'A' + 10
            : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                   : -1;
    if (d < 0) continue;
    if (pending < 0) {
      pending = d;
    } else {
      out.push_back(static_cast<std::uint8_t>(pending * 16 + d));
      pending = -1;
    }
  }
  return out;
}

Handle& Handle::operator=(Handle&& other) noexcept {
  if (this != &other) {
    reset();
    h_ = other.release();
  }
  return *this;
}

void Handle::reset() {
  if (valid()) CloseHandle(h_);
  h_ = INVALID_HANDLE_VALUE;
}

template <typename F>
void Bind(HMODULE module, const char* name, F& f) {
  // Through void* as the library does: FARPROC has no parameters.
  f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

HidDll::HidDll() {
  module = LoadLibraryW(qzplatform::AsWide(std::u16string(u"HID.DLL")));
  if (!module) return;
  Bind(module, "HidD_GetHidGuid", GetHidGuid);
  Bind(module, "HidD_GetAttributes", GetAttributes);
  Bind(module, "HidD_GetPreparsedData", GetPreparsedData);
  Bind(module, "HidD_FreePreparsedData", FreePreparsedData);
  Bind(module, "HidP_GetCaps", GetCaps);
  Bind(module, "HidP_GetButtonCaps", GetButtonCaps);
  Bind(module, "HidP_GetValueCaps", GetValueCaps);
  Bind(module, "HidD_GetProductString", GetProductString);
  Bind(module, "HidD_GetManufacturerString", GetManufacturerString);
  Bind(module, "HidD_GetSerialNumberString", GetSerialNumberString);
  Bind(module, "HidD_GetIndexedString", GetIndexedString);
  Bind(module, "HidD_GetInputReport", GetInputReport);
  Bind(module, "HidD_GetFeature", GetFeature);
  Bind(module, "HidD_SetOutputReport", SetOutputReport);
  Bind(module, "HidD_SetFeature", SetFeature);
  Bind(module, kQzGetReportDescriptorEntry, GetReportDescriptor);
}

HidDll::~HidDll() {
  if (module) FreeLibrary(module);
}

void SimTest::TearDown() {
  qzplatform::RevealAll();
  qzplatform::SetGround(nullptr);
  machine_.reset();
}

void SimTest::Load(std::string_view json) {
  machine_ = qzplatform::sim::Install(qzplatform::sim::Machine::LoadJson(json));
}

void SimTest::UseDefault() { machine_ = qzplatform::sim::Install(); }

Handle SimTest::Open(const std::u16string& path, DWORD access, DWORD share, bool overlapped) {
  return Handle(CreateFileW(qzplatform::AsWide(path), access, share, nullptr, OPEN_EXISTING,
                            overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr));
}

DWORD SimTest::OpenError(const std::u16string& path, DWORD access, DWORD share) {
  Handle h = Open(path, access, share);
  return h.valid() ? 0 : GetLastError();
}

DWORD WriteError(HANDLE file, const Bytes& report) {
  OVERLAPPED ov{};
  ov.hEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  DWORD error = WriteFile(file, report.data(), static_cast<DWORD>(report.size()), nullptr, &ov)
                    ? 0
                    : GetLastError();
  if (error == ERROR_IO_PENDING) {
    DWORD n = 0;
    error = GetOverlappedResult(file, &ov, &n, TRUE) ? 0 : GetLastError();
  }
  CloseHandle(ov.hEvent);
  return error;
}

PendingRead::PendingRead(HANDLE f, DWORD length, std::uint8_t fill)
    : file(f), event(CreateEventW(nullptr, FALSE, FALSE, nullptr)), buffer(length, fill) {
  ov.hEvent = event;
  started = ReadFile(file, buffer.data(), length, nullptr, &ov);
  start_error = started ? 0 : GetLastError();
}

PendingRead::~PendingRead() {
  // A read still pending must not outlive its buffer and record.
  if (pending()) CancelIo(file);
  CloseHandle(event);
}

bool PendingRead::pending() const {
  return std::atomic_ref<ULONG_PTR>(const_cast<ULONG_PTR&>(ov.Internal)).load() ==
         qzplatform::kStatusPending;
}

bool PendingRead::Wait(std::chrono::milliseconds timeout) {
  if (!pending()) return true;
  WaitForSingleObject(event, static_cast<DWORD>(timeout.count()));
  return !pending();
}

DWORD PendingRead::Error() const {
  return static_cast<DWORD>(std::atomic_ref<ULONG_PTR>(const_cast<ULONG_PTR&>(ov.Internal)).load());
}

Bytes PendingRead::Data() const {
  return Bytes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(ov.InternalHigh));
}

}  // namespace simtest
