// An edit control as the library sees it (the toolkit supplies the real one).
#pragma once

#include "qzclasses/component.h"
#include "qzclasses/message.h"
#include "qzclasses/method.h"

namespace qz {

// A window procedure: handles one message of a control's window.
using TWndMethod = Method<void(Message& Msg)>;

// Messages reach the control through its window procedure, which starts as the control's
// own (DefaultWndProc). A hook saves the current procedure, installs its own and passes on
// what it does not swallow; unhooking puts the saved one back.
class EditControl : public Component {
 public:
  explicit EditControl(Component* owner);

  virtual Text GetText() const = 0;
  virtual void SetText(const Text& text) = 0;
  virtual void AppendText(const Text& text) { SetText(GetText() + text); }

  // The control's window handle; asking for it creates the window when it has none yet.
  virtual HWND GetHandle() = 0;
  // Queues a message for the control's window and returns at once.
  virtual void Post(UINT Msg, WPARAM WParam, LPARAM LParam) = 0;

  const TWndMethod& GetWindowProc() const { return fWindowProc; }
  // An unassigned value puts the control's own procedure back.
  void SetWindowProc(const TWndMethod& Value);

  // Passes a message through the window procedure and returns its result once handled.
  // The control lives on the main thread: from another thread the call is handed to the
  // main thread (when a dispatcher is installed) and the caller waits.
  LRESULT Perform(UINT Msg, WPARAM WParam, LPARAM LParam);
  // WM_CHAR with repeat count 1: the character acts as a typed key.
  void SendChar(char16_t Ch) { Perform(WM_CHAR, Ch, 1); }
  // EM_REPLACESEL that cannot be undone: Run is inserted literally at the caret, replacing
  // the selection. Run ends at its first NUL.
  void ReplaceSel(const Text& Run);

 protected:
  // What the control itself does with a message (a typed key, EM_REPLACESEL, ...).
  virtual void DefaultWndProc(Message& Msg) = 0;

 private:
  TWndMethod fWindowProc;
};

}  // namespace qz
