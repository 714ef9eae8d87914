// The terminal of the base I/O component: an edit control that shows received bytes and
// whose typed characters are sent to the device.
#include "qzclasses/base_io.h"
#include "qzclasses/dispatcher.h"
#include "qzclasses/errors.h"

namespace qz {

namespace {

const Text kLockLine = u"==============================   LOCK ==============";
const Text kUnlockLine = u"++++++++++++++++++++++++++++++   UNLOCK";

bool Receives(TTerminalUsage usage) { return usage == tuReceive || usage == tuBoth; }
bool Sends(TTerminalUsage usage) { return usage == tuSend || usage == tuBoth; }

}  // namespace

void TqzBaseIO::SetTerminal(EditControl* Value) {
  ReleaseTerminal();
  if (Value) {
    Value->Post(kTerminalBindMessage, reinterpret_cast<WPARAM>(this), 0);
    fOldTerminalWndProc = Value->GetWindowProc();
    Value->SetWindowProc(TWndMethod::Bind<&TqzBaseIO::TerminalWndProc>(this));
  }
  hTerminal = nullptr;
  fTerminal = Value;
  if (Designing() && Value && fTerminalUsage == tuNone) fTerminalUsage = tuBoth;
  SetTerminalUsage(fTerminalUsage);
  if (Value) FreeNotification(Value);
}

void TqzBaseIO::ReleaseTerminal() {
  EditControl* terminal = GetTerminal();
  if (!terminal) return;
  terminal->SetWindowProc(fOldTerminalWndProc);
  terminal->Post(kTerminalBindMessage, 0, 0);
  fTerminal = nullptr;
  hTerminal = nullptr;
  fOldTerminalWndProc = TWndMethod();
}

void TqzBaseIO::SetTerminalUsage(TTerminalUsage Value) {
  fTerminalUsage = Value;
  EditControl* terminal = GetTerminal();
  if (!terminal) return;
  hTerminal = Receives(Value) ? terminal->GetHandle() : nullptr;
}

void TqzBaseIO::SendToTerminal(UINT Msg, WPARAM WParam, LPARAM LParam) {
  // The terminal is found on the main thread, where it is bound, released and destroyed,
  // so a write from the I/O thread never reaches a control that has gone.
  auto deliver = [&] {
    EditControl* terminal = GetTerminal();
    const HWND handle = hTerminal.load();
    if (terminal && handle && terminal->GetHandle() == handle) {
      terminal->Perform(Msg, WParam, LParam);
    }
  };
  if (Dispatcher::IsInstalled()) {
    Dispatcher::Main().Synchronize(deliver);
  } else {
    deliver();
  }
}

void TqzBaseIO::TerminalWrite(const void* Data, std::int32_t Len) {
  if (Len < 0) throw Error(Format(u"The terminal cannot write %d bytes", {Len}));
  if (Len > 0 && Data == nullptr) throw Error(u"The terminal was given no data to write");
  fTerminalLocked = true;
  OutputDebugStringW(qzplatform::AsWide(kLockLine));
  // Unlocked on every path: a terminal left locked would never send a typed key again.
  struct Unlock {
    std::atomic<bool>& locked;
    ~Unlock() {
      locked = false;
      OutputDebugStringW(qzplatform::AsWide(kUnlockLine));
    }
  } unlock{fTerminalLocked};
  const auto* bytes = static_cast<const unsigned char*>(Data);
  Text chars(static_cast<std::size_t>(Len), u'\0');
  for (std::size_t i = 0; i < chars.size(); ++i) chars[i] = static_cast<char16_t>(bytes[i]);
  if (Len == 1) {
    SendToTerminal(WM_CHAR, chars[0], 1);
    return;
  }
  // The runs between NUL bytes are inserted in order; the NULs are not shown.
  std::size_t start = 0;
  while (start < chars.size()) {
    std::size_t end = chars.find(u'\0', start);
    if (end == Text::npos) end = chars.size();
    if (end > start) {
      const Text run = chars.substr(start, end - start);
      SendToTerminal(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(run.c_str()));
    }
    start = end + 1;
  }
}

void TqzBaseIO::TerminalWndProc(Message& Msg) {
  if (!fTerminalLocked && Msg.Msg == WM_CHAR && Sends(fTerminalUsage)) {
    try {
      SendChar(static_cast<char16_t>(Msg.WParam & 0xFFFF));
    } catch (const Error& e) {
      // An error must not leave a window procedure; the log tells why the key was lost.
      LogAdd(dlSimple, u"Cannot send a typed character: " + e.Message());
    } catch (const std::exception&) {
      LogAdd(dlSimple, u"Cannot send a typed character");
    }
    if (!fTerminalEcho) {
      Msg.Result = 0;
      return;
    }
  }
  if (fOldTerminalWndProc) fOldTerminalWndProc(Msg);
}

}  // namespace qz
