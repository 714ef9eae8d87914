// The library's edit control over a QPlainTextEdit (multi-line) or a QLineEdit.
#pragma once

#include <QLineEdit>
#include <QObject>
#include <QPlainTextEdit>
#include <QPointer>

#include "qzclasses/edit_control.h"

namespace qzui {

// Typed characters reach the control's window procedure as WM_CHAR through an event
// filter, so a hook (a terminal binding) sees them first. When the procedure chain ends
// in the control's own procedure, Qt handles the key itself (caret moves, undo, input
// methods as usual). Every key that types a character is routed, Tab and the control
// characters of Ctrl with a letter included: a terminal gets them as typed; passed on,
// Qt handles them (focus change, copy, paste). Messages from the library
// (SendChar, ReplaceSel, Post) act on the text as a Windows edit control would. When the
// widget is destroyed first, the wrapper keeps working on nothing.
class QtEditControl : public QObject, public qz::EditControl {
 public:
  QtEditControl(qz::Component* owner, QPlainTextEdit* edit);
  QtEditControl(qz::Component* owner, QLineEdit* edit);
  ~QtEditControl() override;

  qz::Text ClassName() const override { return u"QtEditControl"; }
  // Multi-line text has CR LF line breaks, as a Windows edit control gives it.
  qz::Text GetText() const override;
  void SetText(const qz::Text& text) override;
  // Appends at the end without moving the user's caret or selection.
  void AppendText(const qz::Text& text) override;

  HWND GetHandle() override { return handle_; }
  // Thread-safe: the message reaches the window procedure from the event loop.
  void Post(UINT Msg, WPARAM WParam, LPARAM LParam) override;

  QWidget* Widget() const;

 protected:
  void DefaultWndProc(qz::Message& Msg) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void Attach(QWidget* widget);
  void TypeChar(char16_t ch);
  void InsertLiteral(const QString& text);

  QPointer<QPlainTextEdit> plain_;
  QPointer<QLineEdit> line_;
  HWND handle_;
  // Set while a real key press runs through the window procedure; the control's own
  // procedure then leaves the key to Qt instead of typing it.
  bool key_in_flight_ = false;
  bool key_reached_default_ = false;
};

}  // namespace qzui
