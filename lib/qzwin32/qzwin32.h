// Unit qzwin32: a GUID as registry text, running a program and waiting for it, and
// quoting one argument of a Windows command line.
#pragma once

#include "qzclasses/text.h"
#include "qzplatform/win32.h"

namespace qz {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": 38 characters, upper-case digits.
Text GuidToText(const GUID& guid);

// Starts the program `commandLine` names (no application name, no inherited handles,
// the caller's environment, `currentFolder` as its current folder, or the caller's
// when empty), hidden when asked. Returns nothing: afterwards the thread's last-error
// value is the creation error when the program could not be started; else, when
// waiting, the program's exit code (or the error of a failed wait or exit-code query,
// so that it never reads 0 by mistake); else 0.
void RunProcess(const Text& commandLine, const Text& currentFolder, bool wait, bool hidden);

// `argument` written so that the program's command-line split (CommandLineToArgvW, and
// the C runtime's) reads it back as exactly one argument, unchanged: in double quotes,
// a quote escaped with a backslash, backslashes before a quote or the closing quote
// doubled. False for an argument no command line can carry: one holding a NUL.
bool QuoteArgument(const Text& argument, Text* quoted);

}  // namespace qz
