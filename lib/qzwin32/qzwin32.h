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
// when empty), hidden when asked. When waiting, waits at most `waitLimit` ms for it to
// end while the calling thread's messages keep flowing: on Windows its window messages
// are dispatched, elsewhere the main thread runs its dispatcher's queued calls. A
// program still running at the limit is ended.
// True when the program was started and, when waiting, ended within the limit; the
// thread's last-error value is then its exit code (0 when not waiting). False when it
// could not be started (the last error is the creation error), did not end in time
// (ERROR_TIMEOUT) or could not be waited for (that error): never an exit code.
bool RunProcess(const Text& commandLine, const Text& currentFolder, bool wait, bool hidden,
                DWORD waitLimit = INFINITE);

// `argument` written so that the program's command-line split (CommandLineToArgvW, and
// the C runtime's) reads it back as exactly one argument, unchanged: in double quotes,
// a quote escaped with a backslash, backslashes before a quote or the closing quote
// doubled. False for an argument no command line can carry: one holding a NUL.
bool QuoteArgument(const Text& argument, Text* quoted);

}  // namespace qz
