#pragma once
// The loaded images (the program and its libraries) as the library needs to know them.
#include "core/platform/Platform.h"

namespace QuennelEngine {

// True if the address lies inside Core.dll's own image (its code and constant data never unload
// while Core runs).
CORE_API bool sysIsAddressInCoreImage(const void *pv);

} // namespace QuennelEngine
