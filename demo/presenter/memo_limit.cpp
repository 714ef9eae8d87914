// The memo's line limit.
#include "presenter/memo_limit.h"

#include <algorithm>

namespace demo {

MemoLimit::MemoLimit(std::size_t limit)
    : limit_(std::max<std::size_t>(limit, 1)), step_(std::max<std::size_t>(limit_ / 100, 1)) {}

std::size_t MemoLimit::Admit(std::vector<qz::Text>& lines) {
  const std::size_t total = lines_ + lines.size();
  if (total <= limit_) {
    lines_ = total;
    return 0;
  }
  const std::size_t excess = total - limit_;
  const std::size_t remove = std::min(total, (excess + step_ - 1) / step_ * step_);
  const std::size_t fromMemo = std::min(remove, lines_);
  const std::size_t fromBatch = remove - fromMemo;
  lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(fromBatch));
  lines_ = total - remove;
  dropped_ += remove;
  return fromMemo;
}

}  // namespace demo
