// The parts of one log entry: the time stamp in front and the escaped text.
#pragma once

#include <string_view>

#include "qzclasses/text.h"
#include "qzlogfile/log_options.h"
#include "qzplatform/win32.h"

namespace qz {

// The stamp for `time` as the options ask for it: "[date time +mmm] " with the
// parts that are switched on (date and time in the user's locale formats), or
// empty when none is.
Text BuildLogStamp(const SYSTEMTIME& time, TLogOptions options);

// `text` with every code unit below 32 written as a backslash, two upper-case
// hexadecimal digits and 'h' (a tab becomes \09h), so an entry stays on one line.
Text EscapeControlChars(std::u16string_view text);

}  // namespace qz
