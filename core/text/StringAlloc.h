#pragma once
// Allocation of zero-terminated 8-bit and 16-bit text buffers. Every empty text is one shared
// static array per character size; handing it out and "freeing" it only moves a share counter.
#include "core/platform/Platform.h"

namespace QuennelEngine {

// A buffer for `ctChars` characters plus the terminator, which is already at position ctChars.
// For 0 characters the shared empty array.
CORE_API char *strAlloc(int ctChars);
CORE_API unsigned short *wstrAlloc(int ctChars);
// Reallocates to `ctChars` characters and writes a terminator there. The shared empty array is
// never resized in place: a fresh block is allocated (or it stays shared for 0).
CORE_API char *strResize(char *pch, int ctChars);
CORE_API unsigned short *wstrResize(unsigned short *pwch, int ctChars);
// Releases a buffer; the shared empty array only loses a share.
CORE_API void strFree(char *pch);
CORE_API void wstrFree(unsigned short *pwch);
// A new buffer holding a copy of the text (null gives the empty text).
CORE_API char *strDuplicate(const char *pch);
CORE_API unsigned short *wstrDuplicate(const unsigned short *pwch);
// Characters before the terminator (0 for null).
CORE_API int strLen(const char *pch);
CORE_API int wstrLen(const unsigned short *pwch);
// True if the first character is the terminator (or the text is null).
CORE_API int strIsEmpty(const char *pch);
CORE_API int wstrIsEmpty(const unsigned short *pwch);

// True if the buffer is the shared empty array.
CORE_API int strIsSharedEmpty(const char *pch);
CORE_API int wstrIsSharedEmpty(const unsigned short *pwch);
// How many holders share the empty array right now (diagnostics and tests).
CORE_API long strGetEmptyShareCount(void);
CORE_API long wstrGetEmptyShareCount(void);

} // namespace QuennelEngine
