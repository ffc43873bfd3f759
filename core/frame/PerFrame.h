#pragma once
// Per-frame callbacks: functions the host's frame loop calls once per frame, in registration
// order.
#include "core/platform/Platform.h"

namespace QuennelEngine {

typedef void (*PerFrameCallback)(void *pvData);

CORE_API void pfuRegisterPerFrameCallback(PerFrameCallback pCallback, void *pvData);
// Removes the first registration of the function with the data; the others keep their order.
CORE_API void pfuUnregisterPerFrameCallback(PerFrameCallback pCallback, void *pvData);
// Calls every callback with its data. A callback may unregister itself or others (they are not
// called afterwards in this pass) and register new ones (called from the next pass).
CORE_API void pfuCallPerFrameCallbacks(void);
CORE_API long pfuCountPerFrameCallbacks(void);

} // namespace QuennelEngine
