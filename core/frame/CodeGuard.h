#pragma once
// Reports impossible states that the caller survives (contract violations).
#include "core/platform/Platform.h"

namespace QuennelEngine {

// Reports a contract violation; the caller then continues on its safe path. Every breach is
// counted; the console line and the stack dump come once per call site. The site is the line
// that called, taken by the compiler at the call (so a call the optimiser turns into a jump still
// names the line that detected the breach, not that line's caller): callers write
// `corLogGuardBreach()` and leave the arguments to their defaults.
CORE_API QE_NOINLINE void corLogGuardBreach(const char *strFile = __builtin_FILE(),
                                            int iLine = __builtin_LINE());
// Number of guard breaches reported so far (every breach, also repeated ones from one site), for
// tests and diagnostics.
CORE_API long corGetGuardBreachCount(void);

} // namespace QuennelEngine
