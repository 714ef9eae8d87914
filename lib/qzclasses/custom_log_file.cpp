// The abstract log sink: fatal-error reporting and the operations a sink must supply.
#include "qzclasses/custom_log_file.h"

#include "qzclasses/errors.h"

namespace qz {

void TqzCustomLogFile::DoFatalError(std::uint32_t ErrorCode, std::uint32_t Detail,
                                    const Text& ErrorMsg) {
  bool raise = true;
  if (fOnFatalError) fOnFatalError(this, ErrorCode, Detail, ErrorMsg, raise);
  if (raise) throw Error(ErrorMsg);
}

void TqzCustomLogFile::Save() { throw AbstractError(); }
void TqzCustomLogFile::Clear() { throw AbstractError(); }
void TqzCustomLogFile::Add(const Text&) { throw AbstractError(); }
void TqzCustomLogFile::AddSysInfo() { throw AbstractError(); }
void TqzCustomLogFile::AddLog(TDetailLevel, const Text&) { throw AbstractError(); }
void TqzCustomLogFile::AddFmt(const Text&, const FormatArgs&) { throw AbstractError(); }
void TqzCustomLogFile::AddLogFmt(TDetailLevel, const Text&, const FormatArgs&) {
  throw AbstractError();
}

}  // namespace qz
