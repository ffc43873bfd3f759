#pragma once
// The old-style message functions, kept for older callers.
#include "core/platform/Platform.h"

namespace QuennelEngine {

// Formats with the positional formatter and ends the process through conFatalErrorF. A second
// call while one is in progress ends the process at once.
[[noreturn]] CORE_API void FatalError_old(const char *strFormat, ...);
// Show the formatted text (marked as old formatting) in a message window, unless message windows
// are suppressed.
CORE_API void WarningMessage_old(const char *strFormat, ...);
CORE_API void InfoMessage_old(const char *strFormat, ...);
// Suppresses the old-style message windows for the whole process.
CORE_API void SetOldMessagesSuppressed(bool bSuppressed);
// For testing the fatal path: 0 makes a fatal error; anything else only warns.
CORE_API void dbgMakeFatalError(long iValue);

} // namespace QuennelEngine
