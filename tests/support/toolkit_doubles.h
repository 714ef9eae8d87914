// Test doubles shared by the tests of both sides of the toolkit boundary (Qt and Win32):
// a window-procedure hook that records messages, an I/O component for terminal bindings,
// and an I/O component with a named device list for device boxes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qzclasses/base_io.h"
#include "qzclasses/edit_control.h"
#include "qzclasses/errors.h"

namespace qztest {

// Records the messages that reach it and passes them on, or swallows typed keys.
struct EditHook {
  void Proc(qz::Message& msg) {
    seen.push_back(msg.Msg);
    if (msg.Msg == WM_CHAR) chars.push_back(static_cast<char16_t>(msg.WParam));
    if (swallow_chars && msg.Msg == WM_CHAR) return;
    if (old) old(msg);
  }
  qz::TWndMethod old;
  bool swallow_chars = true;
  std::vector<UINT> seen;
  qz::Text chars;
};

// Records the characters the terminal sends to the "device"; Write plays received bytes.
class TerminalIO : public qz::TqzBaseIO {
 public:
  TerminalIO() : TqzBaseIO(nullptr) {}
  qz::Text ClassName() const override { return u"TerminalIO"; }
  std::int32_t GetDeviceIndex() const override { return 0; }
  void DeviceListLoad() override {}
  void SendChar(char16_t ch) override { sent.push_back(ch); }
  void Write(const std::string& bytes) {
    TerminalWrite(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  }
  qz::Text sent;
};

// Three devices (Mouse, Keyboard, Echo), the second selected; selecting fails on request.
class NamedIO : public qz::TqzBaseIO {
 public:
  NamedIO() : TqzBaseIO(nullptr) {}
  qz::Text ClassName() const override { return u"NamedIO"; }
  std::int32_t GetDeviceIndex() const override { return index; }
  void SetDeviceIndex(std::int32_t value) override {
    if (fail) throw qz::Error(u"cannot select");
    index = value;
    TqzBaseIO::SetDeviceIndex(value);
  }
  void DeviceListLoad() override {
    for (const char16_t* name : {u"Mouse", u"Keyboard", u"Echo"}) {
      auto* d = new qz::TqzDevice;
      d->NameFriendly = name;
      AddDevice(d);
    }
  }
  std::int32_t index = 1;
  bool fail = false;
};

}  // namespace qztest
