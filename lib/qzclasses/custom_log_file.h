// The abstract log sink every component writes to.
#pragma once

#include <cstdint>

#include "qzclasses/component.h"
#include "qzclasses/format.h"
#include "qzclasses/types.h"

namespace qz {

class TqzCustomLogFile : public Component {
 public:
  using Component::Component;

  Text ClassName() const override { return u"TqzCustomLogFile"; }

  const TOnFatalErrorEvent& GetOnFatalError() const { return fOnFatalError; }
  void SetOnFatalError(const TOnFatalErrorEvent& value) { fOnFatalError = value; }

  // The sink's own failures: the handler may suppress them, else Error(ErrorMsg) is raised.
  // The sink does not log its own failures.
  virtual void DoFatalError(std::uint32_t ErrorCode, std::uint32_t Detail, const Text& ErrorMsg);

  // Whether a text logged at Level would be written; lets a caller skip building a text
  // the sink would drop. A sink without a level filter accepts everything.
  virtual bool Accepts(TDetailLevel) const { return true; }

  // A concrete sink supplies all of these; the base versions throw AbstractError.
  virtual void Save();
  virtual void Clear();
  virtual void Add(const Text& text);
  virtual void AddSysInfo();
  virtual void AddLog(TDetailLevel Level, const Text& text);
  virtual void AddFmt(const Text& Format, const FormatArgs& Args);
  virtual void AddLogFmt(TDetailLevel Level, const Text& Format, const FormatArgs& Args);

 private:
  TOnFatalErrorEvent fOnFatalError;
};

}  // namespace qz
