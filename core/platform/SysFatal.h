#pragma once
// The end of the road for failures of the system that the library cannot survive.
#include "core/platform/Platform.h"

namespace QuennelEngine {

// Ends the process through the console's fatal error, naming the system call that failed and
// the system's error code.
[[noreturn]] CORE_API void sysFatalSystemError(const char *strCall, unsigned long ulError);

} // namespace QuennelEngine
