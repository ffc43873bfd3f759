#pragma once
// The console: the library's single channel for text.
#include "core/platform/Platform.h"

namespace QuennelEngine {

// Shows a fatal error formatted from `strFormat` and the tagged arguments, then ends the process.
[[noreturn]] CORE_API void conFatalErrorF(const char *strFormat, ...);

// Prints an error message formatted from `strFormat` and the tagged arguments.
CORE_API void conErrorF(const char *strFormat, ...);

// Prints a trace message formatted from `strFormat` and the tagged arguments.
CORE_API void conTraceF(const char *strFormat, ...);

} // namespace QuennelEngine
