// Readable failure output for the presenter's view records.
#pragma once

#include <ostream>

#include "presenter/device_view.h"
#include "qzclasses/text.h"

namespace demo {

inline void PrintTo(const InfoRow& row, std::ostream* os) {
  *os << '{' << qz::TextToUtf8(row.property) << ": \"" << qz::TextToUtf8(row.value) << "\"}";
}

inline void PrintTo(const TreeNode& node, std::ostream* os) {
  *os << qz::TextToUtf8(node.caption) << " [" << node.data << "] (";
  for (const TreeNode& child : node.children) {
    PrintTo(child, os);
    *os << ' ';
  }
  *os << ')';
}

inline void PrintTo(const NodePath& path, std::ostream* os) {
  *os << '(' << path.top << ", " << path.child << ')';
}

}  // namespace demo
