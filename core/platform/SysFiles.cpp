#include "core/platform/SysFiles.h"

#include "core/text/Conversion.h"
#include "core/text/Editing.h"
#include "core/text/Search.h"

#include <windows.h>

namespace QuennelEngine {

static inline LPCWSTR W(const CWString &wstr)
{
  return (LPCWSTR)wstr.wstr_String;
}

bool sysFileExists(const char *strPath)
{
  DWORD dw = GetFileAttributesW(W(strUTF8ToUTF16(strPath)));
  return dw != INVALID_FILE_ATTRIBUTES && !(dw & FILE_ATTRIBUTE_DIRECTORY);
}

bool sysDirectoryExists(const char *strPath)
{
  DWORD dw = GetFileAttributesW(W(strUTF8ToUTF16(strPath)));
  return dw != INVALID_FILE_ATTRIBUTES && (dw & FILE_ATTRIBUTE_DIRECTORY);
}

bool sysDeleteFile(const char *strPath)
{
  return DeleteFileW(W(strUTF8ToUTF16(strPath))) != 0;
}

bool sysRenameFile(const char *strFrom, const char *strTo)
{
  return MoveFileW(W(strUTF8ToUTF16(strFrom)), W(strUTF8ToUTF16(strTo))) != 0;
}

bool sysCreateDirectories(const char *strPath)
{
  CString str(strPath);
  strReplaceSubstrA(str, "\\", "/");
  while (str.Length() > 0 && str[str.Length() - 1] == '/') strDeleteTail(str, 1);
  if (str.IsEmpty() || sysDirectoryExists(str)) return true;
  // Parents first.
  int iSlash = strFindCharSB(str, '/');
  if (iSlash > 0 && !(iSlash == 2 && str[1] == ':')) {
    sysCreateDirectories(strGetHead(str, iSlash));
  }
  CreateDirectoryW(W(strUTF8ToUTF16(str)), nullptr);
  return sysDirectoryExists(str);
}

FILE *sysOpenCFile(const char *strPath, const char *strMode)
{
  return _wfopen(W(strUTF8ToUTF16(strPath)), W(strASCIIToUTF16(strMode)));
}

} // namespace QuennelEngine
