#pragma once
// Files and folders of the system by their full (hard) paths, given as UTF-8 and passed to the
// system as UTF-16, so paths with any characters work.
#include "core/platform/Platform.h"

#include <stdio.h>

namespace QuennelEngine {

CORE_API bool sysFileExists(const char *strPath);
CORE_API bool sysDirectoryExists(const char *strPath);
// True if the file was deleted.
CORE_API bool sysDeleteFile(const char *strPath);
// True if the file was renamed (an existing target is not replaced).
CORE_API bool sysRenameFile(const char *strFrom, const char *strTo);
// Creates the folder and every missing folder above it; true if it exists afterwards.
CORE_API bool sysCreateDirectories(const char *strPath);
// Opens a file with the C runtime (mode as for fopen); null on failure.
CORE_API FILE *sysOpenCFile(const char *strPath, const char *strMode);

} // namespace QuennelEngine
