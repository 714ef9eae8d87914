// The library's edit control over Qt's text widgets.
#include "ui/qt/qt_edit_control.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QTextCursor>
#include <QTextDocument>

#include <atomic>
#include <cstdint>

#include "ui/qt/message_box.h"
#include "ui/qt/qt_text.h"

namespace qzui {

namespace {

const QEvent::Type kPostedMessage = static_cast<QEvent::Type>(QEvent::registerEventType());

class PostedMessageEvent : public QEvent {
 public:
  explicit PostedMessageEvent(const qz::Message& message)
      : QEvent(kPostedMessage), message(message) {}
  qz::Message message;
};

// Window handles only identify a control; distinct values, never null, as Windows gives.
HWND NewHandle() {
  static std::atomic<std::uintptr_t> next{0x20000};
  return reinterpret_cast<HWND>(next.fetch_add(4));
}

// The character a key press types, as Windows' WM_CHAR gives it: Ctrl with a letter or
// one of [ \ ] ^ _ types a control character (Qt may give the plain letter as text);
// otherwise the key's one-character text. 0 when the key types nothing (Delete's DEL
// included, which Windows never types).
char16_t TypedChar(const QKeyEvent& key) {
  const Qt::KeyboardModifiers mods = key.modifiers() & (Qt::ControlModifier | Qt::AltModifier);
  const int code = key.key();
  if (mods == Qt::ControlModifier) {
    if (code >= Qt::Key_A && code <= Qt::Key_Z) return static_cast<char16_t>(code - Qt::Key_A + 1);
    if (code >= Qt::Key_BracketLeft && code <= Qt::Key_Underscore) return static_cast<char16_t>(code - 0x40);
  }
  const QString text = key.text();
  if (text.size() != 1 || text.at(0).unicode() == 0 || text.at(0).unicode() == 0x7F) return 0;
  return text.at(0).unicode();
}

}  // namespace

QtEditControl::QtEditControl(qz::Component* owner, QPlainTextEdit* edit)
    : EditControl(owner), plain_(edit), handle_(NewHandle()) {
  Attach(edit);
}

QtEditControl::QtEditControl(qz::Component* owner, QLineEdit* edit)
    : EditControl(owner), line_(edit), handle_(NewHandle()) {
  Attach(edit);
}

QtEditControl::~QtEditControl() {
  // Linked components (a terminal's I/O component, a log's VisualOut) let go first.
  NotifyRemoval();
  if (QWidget* w = Widget()) w->removeEventFilter(this);
}

void QtEditControl::Attach(QWidget* widget) {
  if (widget) widget->installEventFilter(this);
}

QWidget* QtEditControl::Widget() const {
  if (plain_) return plain_.data();
  if (line_) return line_.data();
  return nullptr;
}

qz::Text QtEditControl::GetText() const {
  if (plain_) {
    QString text = plain_->toPlainText();
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return FromQString(text);
  }
  if (line_) return FromQString(line_->text());
  return {};
}

void QtEditControl::SetText(const qz::Text& text) {
  if (plain_) plain_->setPlainText(ToQString(text));
  if (line_) line_->setText(ToQString(text));
}

void QtEditControl::AppendText(const qz::Text& text) {
  if (plain_) {
    QTextCursor end(plain_->document());
    end.movePosition(QTextCursor::End);
    end.insertText(ToQString(text));  // CR LF and LF both start a new line
  } else if (line_) {
    line_->setText(line_->text() + ToQString(text));
  }
}

void QtEditControl::Post(UINT Msg, WPARAM WParam, LPARAM LParam) {
  qz::Message message;
  message.Msg = Msg;
  message.WParam = WParam;
  message.LParam = LParam;
  QCoreApplication::postEvent(this, new PostedMessageEvent(message));
}

bool QtEditControl::event(QEvent* e) {
  if (e->type() != kPostedMessage) return QObject::event(e);
  qz::Message message = static_cast<PostedMessageEvent*>(e)->message;
  try {
    GetWindowProc()(message);
  } catch (...) {
    ShowErrorReport(Widget(), std::current_exception());
  }
  return true;
}

bool QtEditControl::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() != QEvent::KeyPress || watched != Widget()) return false;
  const char16_t ch = TypedChar(*static_cast<QKeyEvent*>(e));
  if (ch == 0) return false;
  key_in_flight_ = true;
  key_reached_default_ = false;
  try {
    Perform(WM_CHAR, ch, 1);
  } catch (...) {
    // Errors must not cross Qt's event loop; the key counts as handled.
    key_in_flight_ = false;
    ShowErrorReport(Widget(), std::current_exception());
    return true;
  }
  key_in_flight_ = false;
  // Swallowed by a hook: Qt never sees the key. Passed on to us: Qt types it.
  return !key_reached_default_;
}

void QtEditControl::DefaultWndProc(qz::Message& Msg) {
  Msg.Result = 0;
  if (Msg.Msg == WM_CHAR) {
    if (key_in_flight_) {
      key_reached_default_ = true;
    } else {
      TypeChar(static_cast<char16_t>(Msg.WParam & 0xFFFF));
    }
  } else if (Msg.Msg == EM_REPLACESEL && Msg.LParam != 0) {
    InsertLiteral(QString::fromUtf16(reinterpret_cast<const char16_t*>(Msg.LParam)));
  }
}

// A character sent as a typed key: Backspace deletes, Return starts a line in a
// multi-line control, other control characters do nothing.
void QtEditControl::TypeChar(char16_t ch) {
  if (ch == u'\b') {
    if (plain_) plain_->textCursor().deletePreviousChar();
    if (line_) line_->backspace();
  } else if (ch == u'\r') {
    if (plain_) InsertLiteral(QStringLiteral("\n"));
  } else if (ch >= 0x20) {
    InsertLiteral(QString(QChar(ch)));
  }
}

void QtEditControl::InsertLiteral(const QString& text) {
  if (plain_) {
    QTextCursor cursor = plain_->textCursor();
    cursor.insertText(text);
    plain_->setTextCursor(cursor);
  } else if (line_) {
    line_->insert(text);
  }
}

}  // namespace qzui
