// The system side of the file system: file attributes, times, operations, drives and listings,
// on the wide-character calls so that paths with any characters work.
#include "core/streams/FileSystem.h"

#include "core/frame/ErrorTable.h"
#include "core/frame/Exception.h"
#include "core/platform/Timer.h"
#include "core/streams/FileSystemPrivate.h"
#include "core/text/Conversion.h"
#include "core/text/Editing.h"
#include "core/text/FileNames.h"
#include "core/text/Translation.h"

#include <windows.h>

namespace QuennelEngine {

static inline CWString Wide(const char *str)
{
  return strUTF8ToUTF16(str);
}

static inline LPCWSTR W(const CWString &wstr)
{
  return (LPCWSTR)wstr.wstr_String;
}

static CString LastErrorText(void)
{
  return GetWindowsError(GetLastError());
}

CString filSysGetModulePath(void)
{
  unsigned short awch[261];
  DWORD ct = GetModuleFileNameW(nullptr, (LPWSTR)awch, 260);
  awch[ct < 260 ? ct : 260] = 0; // terminated also when the name was cut
  return strUTF16ToUTF8(awch);
}

bool filExistsOnDisk(const char *strName)
{
  return GetFileAttributesW(W(Wide(filSoftToHardPath(strName)))) != INVALID_FILE_ATTRIBUTES;
}

bool filIsReadOnly(const char *strName)
{
  DWORD dw = GetFileAttributesW(W(Wide(filSoftToHardPath(strName))));
  return dw != INVALID_FILE_ATTRIBUTES && (dw & FILE_ATTRIBUTE_READONLY);
}

bool filIsSysDir(const char *strHardPath)
{
  DWORD dw = GetFileAttributesW(W(Wide(strHardPath)));
  return dw != INVALID_FILE_ATTRIBUTES && (dw & FILE_ATTRIBUTE_DIRECTORY);
}

bool filCreateSysDir(const char *strHardPath)
{
  return CreateDirectoryW(W(Wide(strHardPath)), nullptr) != 0;
}

int filGetFileTimeOnDisk(const char *strName, Time &tm)
{
  HANDLE h = CreateFileW(W(Wide(filSoftToHardPath(strName))), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  FILETIME ftWrite;
  BOOL bOK = GetFileTime(h, nullptr, nullptr, &ftWrite);
  CloseHandle(h);
  if (!bOK) return 0;
  tm = timFileTimeToUTC(((__int64)ftWrite.dwHighDateTime << 32) | ftWrite.dwLowDateTime);
  return 1;
}

__int64 filGetDiskFreeSpace(const char *strName)
{
  CString strHard = filSoftToHardPath(strName);
  ULARGE_INTEGER uliFree;
  if (!GetDiskFreeSpaceExW(W(Wide(strHard)), &uliFree, nullptr, nullptr)) return 0;
  return (__int64)uliFree.QuadPart;
}

CStaticStackArray<CString> filSysGetDrives(void)
{
  CStaticStackArray<CString> astr;
  DWORD dwDrives = GetLogicalDrives();
  // Some hosts answer with no drives at all when their mount service is not up, though paths on
  // the drives still open: then every letter is asked for its root instead.
  if (dwDrives == 0) dwDrives = 0x03FFFFFF;
  for (int i = 0; i < 26; i++) {
    if (!(dwDrives & (1UL << i))) continue;
    char strRoot[4] = {(char)('A' + i), ':', '\\', 0};
    UINT uType = GetDriveTypeA(strRoot);
    if (uType == DRIVE_UNKNOWN || uType == DRIVE_NO_ROOT_DIR) continue;
    char strLetter[2] = {(char)('A' + i), 0};
    astr.Push(strFormat("$%1:/", strLetter));
  }
  return astr;
}

void filDeleteFile_t(const CString &strName)
{
  if (!DeleteFileW(W(Wide(filSoftToHardPath(strName))))) {
    CString strError = LastErrorText();
    ThrowFormat_t(strTranslate("DOZUFileSystemWin32.CannotDeleteFile=Cannot delete file %1. %2"),
                  strName, strError);
  }
}

void filReplaceFile_t(const CString &strFrom, const CString &strTo)
{
  if (!MoveFileExW(W(Wide(filSoftToHardPath(strFrom))), W(Wide(filSoftToHardPath(strTo))),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    CString strError = LastErrorText();
    ThrowFormat_t(
        strTranslate("DOZUFileSystemWin32.CannotRenameFile=Cannot rename file %1 to %2. %3"),
        strFrom, strTo, strError);
  }
}

void filRenameFile_t(const CString &strFrom, const CString &strTo)
{
  CString strToDir = strFileDir(strTo);
  if (!strToDir.IsEmpty() && !filIsDirectory(strToDir) && !filCreateDirectoryPath(strToDir)) {
    CString strError = LastErrorText();
    ThrowFormat_t(
        strTranslate("DOZUFileSystemWin32.CannotCreateDir=Cannot create directory path %1. %2"),
        strToDir, strError);
  }
  if (!MoveFileW(W(Wide(filSoftToHardPath(strFrom))), W(Wide(filSoftToHardPath(strTo))))) {
    CString strError = LastErrorText();
    ThrowFormat_t(
        strTranslate("DOZUFileSystemWin32.CannotRenameFile=Cannot rename file %1 to %2. %3"),
        strFrom, strTo, strError);
  }
}

void filRenameDirectory_t(const CString &strFrom, const CString &strTo)
{
  if (!MoveFileW(W(Wide(filSoftToHardPath(strFrom))), W(Wide(filSoftToHardPath(strTo))))) {
    CString strError = LastErrorText();
    ThrowFormat_t(
        strTranslate("DOZUFileSystemWin32.CannotDeleteDir=Cannot rename directory %1 to %2. %3"),
        strFrom, strTo, strError);
  }
}

void filRemoveDirectory_t(const char *strName)
{
  if (!RemoveDirectoryW(W(Wide(filSoftToHardPath(strName))))) {
    ThrowFormat_t(
        strTranslate("DOZUFileSystemWin32.CannotDeleteDirectory=Cannot delete directory %1."),
        strName);
  }
}

CStaticStackArray<SysDirEntry> filSysListDirectory(const char *strHardDir)
{
  CStaticStackArray<SysDirEntry> asde;
  CString strPattern = CString(strHardDir) + "*";
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(W(Wide(strPattern)), &fd);
  if (h == INVALID_HANDLE_VALUE) return asde;
  do {
    CString strName = strUTF16ToUTF8((const unsigned short *)fd.cFileName);
    if (strName == "." || strName == "..") continue;
    SysDirEntry &sde = asde.Push();
    sde.sde_strName = strName;
    sde.sde_bDirectory = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    sde.sde_bLink = (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return asde;
}

} // namespace QuennelEngine
