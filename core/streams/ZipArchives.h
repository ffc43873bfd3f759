#pragma once
// The group archives as the file system sees them: the index of every entry of every mounted
// archive. Entry names are soft paths.
#include "core/memory/StaticStackArray.h"
#include "core/platform/Time.h"
#include "core/text/String.h"

namespace QuennelEngine {

// Mounts an archive (by soft path) and indexes it with the others.
CORE_API void filAddArchive(const char *strName);
CORE_API long filGetZipEntryCount(void);
CORE_API CString filGetZipEntryFileName(long iEntry);
// The uncompressed size.
CORE_API long filGetZipEntryFileSize(long iEntry);
CORE_API Time filGetZipEntryFileTime(long iEntry);
CORE_API long filGetZipDirCount(void);
CORE_API CString filGetZipDirName(long iDir);
// True if an archive holds the entry (the empty name: if any entry exists).
CORE_API bool filExistsInZip(const char *strName);
CORE_API bool filIsZipDirectory(const char *strName);
// The entry's time; 0 when it is not an entry.
CORE_API int filGetFileTimeFromZip(const char *strName, Time &tm);
// The entry's uncompressed size, or -1 when it is not an entry.
CORE_API long filGetZipEntrySizeByName(const char *strName);
// The entries (directories) directly inside a directory that match the pattern.
CORE_API CStaticStackArray<CString> filGetZipEntryFindFiles(const CString &strDir,
                                                            const CString &strPattern);
CORE_API CStaticStackArray<CString> filZipEntryFindDirs(const CString &strDir,
                                                        const CString &strPattern);

} // namespace QuennelEngine
