#pragma once
// The group archives as the file system sees them: the index of every entry of every mounted
// archive. Entry names are soft paths. Archives are ZIP files (one volume, entries stored or
// deflated); their entries are read through CStream::CreateZipStream.
#include "core/memory/StaticStackArray.h"
#include "core/platform/Time.h"
#include "core/text/String.h"

namespace QuennelEngine {

// Mounts an archive (by soft path) and indexes it with the others. Throws when a ".gro" file is
// not a readable ZIP or holds entries that cannot be read; the archive is then left out. Another
// file without an appended ZIP (the running program) is left out silently.
CORE_API void filAddArchive(const char *strName);
// Unmounts every archive: the index empties. Streams open on entries stay readable until closed.
CORE_API void filClearArchives(void);
// The archives mounted.
CORE_API long filGetZipArchiveCount(void);
// The entries of all archives, sorted by name (strCompare), one per name: of equal names, the
// entry of the archive whose name sorts last.
CORE_API long filGetZipEntryCount(void);
// The name of an entry (a soft path); "" and a guard breach for an index out of range.
CORE_API CString filGetZipEntryFileName(long iEntry);
// The uncompressed size of an entry; 0 and a guard breach for an index out of range.
CORE_API long filGetZipEntryFileSize(long iEntry);
// The modification time stored with an entry (0 when it is not a valid date).
CORE_API Time filGetZipEntryFileTime(long iEntry);
// The directories the entries imply (and those the archives list), sorted, with a trailing '/'.
CORE_API long filGetZipDirCount(void);
CORE_API CString filGetZipDirName(long iDir);
// True if an archive holds the entry (the empty name: if any entry exists). Names ignore case.
CORE_API bool filExistsInZip(const char *strName);
// True if the name (with or without its trailing '/') is a directory of the archives.
CORE_API bool filIsZipDirectory(const char *strName);
// The entry's time into `tm` and 1; 0 when it is not an entry.
CORE_API int filGetFileTimeFromZip(const char *strName, Time &tm);
// The entry's uncompressed size, or -1 when it is not an entry.
CORE_API long filGetZipEntrySizeByName(const char *strName);
// The entries (directories) directly inside a directory that match the pattern (empty: all; a
// pattern with a '/' is matched against the whole path, another against the last part).
CORE_API CStaticStackArray<CString> filGetZipEntryFindFiles(const CString &strDir,
                                                            const CString &strPattern);
CORE_API CStaticStackArray<CString> filZipEntryFindDirs(const CString &strDir,
                                                        const CString &strPattern);
// How often entry streams have started inflating again from an entry's start after having
// inflated part of it (seeking back beyond what they keep), since the process started. For
// diagnostics and tests.
CORE_API long filGetZipInflationRestarts(void);

} // namespace QuennelEngine
