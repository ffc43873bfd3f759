#pragma once
// Reports impossible states that the caller survives (contract violations).
#include "core/platform/Platform.h"

namespace QuennelEngine {

// Reports a contract violation once per call site; the caller then continues on its safe path.
CORE_API QE_NOINLINE void corLogGuardBreach(void);
// Number of guard breaches that were reported (one per call site), for tests and diagnostics.
CORE_API long corGetGuardBreachCount(void);

} // namespace QuennelEngine
