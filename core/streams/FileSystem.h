#pragma once
// The file system of soft paths. The engine names every file by a soft path: relative to the root
// directory with '/' separators (Content/Levels/a.wld), or absolute with a leading '$'
// ($C:/Temp/x.txt; "$/" is the list of drives). Hard paths are the system's, with '\'. Directory
// paths carry a trailing separator. Files are found on disk or in the group archives.
#include "core/memory/StaticStackArray.h"
#include "core/platform/Time.h"
#include "core/text/String.h"

namespace QuennelEngine {

class CSyncMutex;

// Settings.
// 0: a file both on disk and in an archive opens from disk; 1: from the archive.
CORE_API extern int fil_bPreferZips;
// At 2 or more every OpenFile_t logs its name.
CORE_API extern int fil_iReportStats;
// Logs every disk file opened.
CORE_API extern int fil_bReportFileOpen;
// The write cache of a write stream in KiB (clamped to 0..64 when a stream opens; 0: none).
CORE_API extern int fil_iWriteCacheSize;
CORE_API extern int fil_iReadFailRange;
// Disk reads overlap with processing: 1 on, 0 off, -1 (the default) on where the system's
// overlapped reads pay off: on Windows, not on Wine, where each one costs tens of microseconds.
CORE_API extern int fil_bAsynchronousReads;

// The lock of the shared read cache and of the archives.
CORE_API CSyncMutex *filGetSyncMutex(void);

// Paths.
CORE_API CString filGetSysDirSeparator(void);
CORE_API CString filGetSysRootDir(void);
CORE_API void filSetSysRootDir(const char *strHardDir);
CORE_API CString filGetHardExePath(void);
CORE_API CString filGetSoftExePath(void);
CORE_API CString filGetExeName(void);
CORE_API void filSetExeName(const char *strName);
CORE_API CString filSoftToHardPath(const char *strSoft);
CORE_API CString filHardToSoftPath(const char *strHard);
// A virtual module file: "Bin/" + a plain name (no separator, drive or "..") + ".module". It
// stands for the library of that name with ".dll" in the program's directory.
CORE_API bool filIsModuleFileName(const char *strSoft);
// The soft parent directory ("$/" above a drive root).
CORE_API CString filGetParentDir(const char *strSoft);
// For a hard directory path, its parent; "" when there is none.
CORE_API CString filSysPathLevelUp(const char *strHardPath);
// The running program's full hard path.
CORE_API CString filSysGetModulePath(void);
// Finds the root directory from the program's location (the parent of a "Bin" folder up to two
// levels above it, else the program's folder) and logs the paths.
CORE_API void filSysAnalyzeAppPath(const char *strAppPath);
// Start-up of the file system: the paths, the group archives and the replace history.
CORE_API void filInitializeStreams_t(const char *strAppPath);

// Queries (soft paths).
CORE_API bool filExists(const char *strName);
CORE_API bool filExistsOnDisk(const char *strName);
CORE_API bool filIsReadOnly(const char *strName);
CORE_API bool filIsDirectory(const char *strName);
CORE_API bool filIsSysDir(const char *strHardPath);
CORE_API bool filCreateSysDir(const char *strHardPath);
CORE_API bool filIsDummyFile(const char *strName);
CORE_API long filGetFileSize(const char *strName);
CORE_API Time filGetFileTime_t(const char *strName);
CORE_API int filGetFileTimeOnDisk(const char *strName, Time &tm);
CORE_API __int64 filGetDiskFreeSpace(const char *strName);
CORE_API CStaticStackArray<CString> filGetDrives(void);
CORE_API CStaticStackArray<CString> filSysGetDrives(void);

// Operations (soft paths).
// Creates every missing directory of the path; 1 on success (or for an empty path).
CORE_API int filCreateDirectoryPath(const char *strName);
CORE_API void filDeleteFile_t(const CString &strName);
CORE_API void filRenameFile_t(const CString &strFrom, const CString &strTo);
// Renames a file over another, replacing it in one step (a reader sees the old file or the new
// one, never neither); the target need not exist.
CORE_API void filReplaceFile_t(const CString &strFrom, const CString &strTo);
CORE_API void filRenameDirectory_t(const CString &strFrom, const CString &strTo);
CORE_API void filRemoveDirectory_t(const char *strName);
// Deletes the directory with everything in it (links and junctions are removed, not entered).
CORE_API void filDeleteDirectory_t(const char *strName);
// The first name of the form directory/prefix + number + extension (the number with `ctDigits`
// digits) that does not exist on disk.
CORE_API CString filCreateAvailableFileName_t(const char *strBaseName, long ctDigits);

// Listings.
// The disk entries of a soft directory matching the pattern (directories with a trailing '/').
CORE_API CStaticStackArray<CString> filGetFromDir(const CString &strSoftDir,
                                                  const char *strPattern);
// The entries of a directory on disk and in the archives ("$/": the drives).
CORE_API CStaticStackArray<CString> filFindFiles(const char *strSoftDir, const char *strPattern);
CORE_API void filFindFilesRecursively(const char *strSoftDir, const char *strPattern,
                                      CStaticStackArray<CString> &astrFound);
enum MakeDirListFlags {
  DLI_RECURSIVE = 1,
  DLI_SEARCHBASE = 2,
  DLI_ONLYDISK = 4,
  DLI_IGNOREGRO = 8,
};
// The files under a directory matching the pattern (empty: all), sorted, without duplicates.
CORE_API void MakeDirList(CStaticStackArray<CString> &astrFiles, const CString &strDir,
                          const CString &strPattern, unsigned long ulFlags);

} // namespace QuennelEngine
