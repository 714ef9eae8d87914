// The message boxes a toolkit would show, captured through its hook while the capture
// lives: shared by the tests of both toolkits, as their hooks have the same form.
#pragma once

#include <vector>

#include "qzclasses/text.h"

namespace qztest {

// SetHook is the toolkit's qzui::SetMessageBoxHook.
template <auto SetHook>
class BoxCapture {
 public:
  BoxCapture() {
    SetHook([this](const qz::Text& text, auto kind) {
      (kind == decltype(kind)::Error ? errors : plain).push_back(text);
    });
  }
  BoxCapture(const BoxCapture&) = delete;
  BoxCapture& operator=(const BoxCapture&) = delete;
  ~BoxCapture() { SetHook({}); }

  std::vector<qz::Text> errors;  // texts of error boxes, in order
  std::vector<qz::Text> plain;   // texts of plain boxes, in order
};

}  // namespace qztest
