// An edit control as the library sees it (the toolkit supplies the real one).
#pragma once

#include "qzclasses/component.h"

namespace qz {

class EditControl : public Component {
 public:
  using Component::Component;

  virtual Text GetText() const = 0;
  virtual void SetText(const Text& text) = 0;
  virtual void AppendText(const Text& text) { SetText(GetText() + text); }
};

}  // namespace qz
