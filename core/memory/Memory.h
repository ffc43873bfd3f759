#pragma once
// The library's allocation entry points. Every allocation of the library goes through them.
#include "core/platform/Platform.h"

namespace QuennelEngine {

// Allocates `size` bytes from the general heap; never returns null (out of memory is fatal).
CORE_API void *memMAlloc(size_t size);
// Resizes a block, keeping its contents; memReAlloc(nullptr, n) allocates.
CORE_API void *memReAlloc(void *p, size_t size);
// Frees a block; null is ignored.
CORE_API void memFree(void *p);
// Usable size of a block (0 for null).
CORE_API size_t memSize(const void *p);

// The string heap: single blocks for the texts of CString.
CORE_API char *memStringAlloc(size_t size);
CORE_API char *memStringReAlloc(char *p, size_t size);
CORE_API void memStringFree(char *p);

} // namespace QuennelEngine
