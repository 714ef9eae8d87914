// An edit control without a window: keeps its text in memory (tests, command-line programs).
#pragma once

#include "qzclasses/edit_control.h"
#include "qzclasses/errors.h"

namespace qz {

class HeadlessEdit : public EditControl {
 public:
  using EditControl::EditControl;

  Text ClassName() const override { return u"HeadlessEdit"; }
  Text GetText() const override { return text; }
  void SetText(const Text& value) override {
    FailIfAsked();
    text = value;
  }
  void AppendText(const Text& value) override {
    FailIfAsked();
    text += value;
  }

  Text text;
  // When set, the next SetText or AppendText throws Error and leaves the text unchanged.
  bool fail_next_update = false;

 private:
  void FailIfAsked() {
    if (fail_next_update) {
      fail_next_update = false;
      throw Error(u"Edit control update failed");
    }
  }
};

}  // namespace qz
