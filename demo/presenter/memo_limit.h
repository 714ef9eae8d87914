// The memo's line limit: it keeps the newest lines up to a limit and counts the ones it
// dropped. The toolkit windows only carry out what it decides.
#pragma once

#include <cstddef>
#include <vector>

#include "qzclasses/text.h"

namespace demo {

// Past the limit, the oldest lines go in steps of a hundredth of the limit (at least
// one line), so a window removes lines from its memo once in a while, not on every
// append: the memo holds between limit - step + 1 and limit lines once it is full.
class MemoLimit {
 public:
  static constexpr std::size_t kDefaultLines = 100000;

  explicit MemoLimit(std::size_t limit = kDefaultLines);

  // `lines` are about to be appended to the memo. Drops the oldest of them that would
  // not stay anyway and returns how many of the memo's oldest lines must go first.
  std::size_t Admit(std::vector<qz::Text>& lines);

  std::size_t Limit() const { return limit_; }
  std::size_t Lines() const { return lines_; }
  std::size_t Dropped() const { return dropped_; }

 private:
  const std::size_t limit_;
  const std::size_t step_;
  std::size_t lines_ = 0;    // lines the memo holds (or its window is about to append)
  std::size_t dropped_ = 0;  // lines removed or never shown, since the start
};

}  // namespace demo
