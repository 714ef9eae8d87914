// An edit control as the library sees it: its window procedure and sent messages.
#include "qzclasses/edit_control.h"

#include "qzclasses/dispatcher.h"

namespace qz {

EditControl::EditControl(Component* owner)
    : Component(owner), fWindowProc(TWndMethod::Bind<&EditControl::DefaultWndProc>(this)) {}

void EditControl::SetWindowProc(const TWndMethod& Value) {
  fWindowProc = Value ? Value : TWndMethod::Bind<&EditControl::DefaultWndProc>(this);
}

LRESULT EditControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
  Message message;
  message.Msg = Msg;
  message.WParam = WParam;
  message.LParam = LParam;
  // The procedure is read when the message is handled, as a sent message would find it.
  auto deliver = [this, &message] { fWindowProc(message); };
  if (Dispatcher::IsInstalled()) {
    Dispatcher::Main().Synchronize(deliver);
  } else {
    deliver();
  }
  return message.Result;
}

void EditControl::ReplaceSel(const Text& Run) {
  Perform(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(Run.c_str()));
}

}  // namespace qz
