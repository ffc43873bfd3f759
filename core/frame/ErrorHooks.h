#pragma once
// Process-wide hooks of error reporting, each one function pointer, initially empty.
#include "core/text/String.h"

namespace QuennelEngine {

// Called by the memory subsystem with the requested size when an allocation fails, before the
// process ends.
typedef void (*InsufficientMemoryCallback)(long slSize);

// Stores the insufficient-memory callback (null removes it).
CORE_API void SetErrorInsufficientMemoryCallback(void (*pCallback)(long slSize));
// The stored insufficient-memory callback, or null.
CORE_API InsufficientMemoryCallback GetErrorInsufficientMemoryCallback(void);

// Called with a stream's description when a disk read fails, or a write would be reported.
typedef void (*StreamErrorCallback)(const CString &strDescription);

// Replace the read-error and write-error callbacks (null restores the default, which prints
// "Error reading from file %1." or "Error writing in file %1." as an error line).
CORE_API void SetErrorReadingCallback(StreamErrorCallback pCallback);
CORE_API void SetErrorWritingCallback(StreamErrorCallback pCallback);
// Calls the read-error (write-error) callback with the stream's description.
CORE_API void CallErrorReadingCallback(const CString &strDescription);
CORE_API void CallErrorWritingCallback(const CString &strDescription);

} // namespace QuennelEngine
