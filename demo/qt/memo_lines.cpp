// Removing the oldest lines of the Qt window's memo.
#include "qt/memo_lines.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace demo {

std::size_t DropOldestLines(QPlainTextEdit& memo, std::size_t count) {
  QTextDocument* document = memo.document();
  const std::size_t shown =
      document->isEmpty() ? 0 : static_cast<std::size_t>(document->blockCount());
  const std::size_t drop = std::min(count, shown);
  if (drop == 0) return 0;
  if (drop == shown) {
    memo.clear();
    return drop;
  }
  QTextCursor cut(document);
  cut.setPosition(document->findBlockByNumber(static_cast<int>(drop)).position(),
                  QTextCursor::KeepAnchor);
  cut.removeSelectedText();
  return drop;
}

}  // namespace demo
