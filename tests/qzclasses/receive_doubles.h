// Test doubles for the receive path: a component that records what it sends, a processor
// and an edit control that note what reaches them.
#pragma once

#include <string>
#include <vector>

#include "fake_io.h"
#include "qzclasses/data_processor.h"
#include "qzclasses/dispatcher.h"
#include "qzclasses/headless_dispatcher.h"
#include "headless_edit.h"

namespace qz::test {

using Trail = std::vector<std::string>;  // what reached which receiver, in order

// The main dispatcher from construction to destruction: declared first in a fixture, it is
// there for every component the fixture makes and outlives them.
struct InstalledDispatcher : HeadlessDispatcher {
  InstalledDispatcher() { Dispatcher::Install(this); }
  ~InstalledDispatcher() override { Dispatcher::Install(nullptr); }
};

inline std::string Bytes(const void* p, std::uint32_t n) {
  return std::string(static_cast<const char*>(p), n);
}
inline bool OnMain() { return Dispatcher::Main().IsMainThread(); }

class SendingIO : public FakeIO {
 public:
  using FakeIO::FakeIO;
  void SendChar(char16_t Ch) override {
    if (fail_send) throw Error(u"device gone");
    chars += Ch;
  }
  void SendString(const std::string& S) override { strings.push_back(S); }
  void SendData(const void* Buff, std::uint32_t N) override { data.push_back(Bytes(Buff, N)); }
  bool Receive(const std::string& s) {
    return DoReceive(s.data(), static_cast<std::uint32_t>(s.size()));
  }

  using TqzBaseIO::fOldTerminalWndProc;
  using TqzBaseIO::fTerminalLocked;
  using TqzBaseIO::hTerminal;
  using TqzBaseIO::qzNotifyList;

  std::u16string chars;
  std::vector<std::string> strings, data;
  bool fail_send = false;
};

class TrailProcessor : public TqzCustomDataProcessor {
 public:
  TrailProcessor(Component* owner, Trail* trail, std::string name)
      : TqzCustomDataProcessor(owner), trail_(trail), name_(std::move(name)) {}
  void DoProcessing(const void* Data, std::uint32_t Len, TIgnoreTypes& R) override {
    if (trail_) trail_->push_back(name_ + ":" + Bytes(Data, Len));
    R |= add;
    TqzCustomDataProcessor::DoProcessing(Data, Len, R);
  }
  void DoAfterSendComplete(bool& flIgnore) override {
    ++completions;
    flIgnore = ignore_sends;
  }
  void SetPrefix(const Text& prefix) { sLogPrefix = prefix; }

  TIgnoreTypes add = 0;
  bool ignore_sends = false;
  int completions = 0;

 private:
  Trail* trail_;
  std::string name_;
};

class TrailEdit : public HeadlessEdit {
 public:
  TrailEdit(Component* owner, Trail* trail) : HeadlessEdit(owner), trail_(trail) {}
  bool always_on_main = true;

 protected:
  void DefaultWndProc(Message& Msg) override {
    if (trail_) trail_->push_back(Msg.Msg == WM_CHAR ? "terminal:char" : "terminal:text");
    always_on_main = always_on_main && OnMain();
    HeadlessEdit::DefaultWndProc(Msg);
  }

 private:
  Trail* trail_;
};

struct AfterReceive {
  Trail* trail = nullptr;
  std::vector<std::string> blocks;
  bool on_main = false;
  void On(TqzBaseIO*, const void* Buffer, std::uint32_t Received) {
    blocks.push_back(Bytes(Buffer, Received));
    if (trail) trail->push_back("after");
    on_main = OnMain();
  }
  void Throw(TqzBaseIO*, const void*, std::uint32_t) { throw Error(u"handler failed"); }
};

}  // namespace qz::test
