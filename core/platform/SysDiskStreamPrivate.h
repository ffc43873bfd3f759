#pragma once
// Private to the library: disk files as stream implementations, made by the system side so that
// the portable file system does not name the system's class.
#include "core/text/String.h"

namespace QuennelEngine {

class CStreamImp;

// Opens a soft path as a disk stream with the mode "rb", "wb" (created anew) or "ab" (written at
// its end); the caller owns the result. Throws when the system refuses the file.
CStreamImp *sysOpenDiskStream_t(const CString &strFileName, const char *strMode);

} // namespace QuennelEngine
