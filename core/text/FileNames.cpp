#include "core/text/FileNames.h"

#include "core/frame/CodeGuard.h"
#include "core/text/Editing.h"
#include "core/text/Search.h"
#include "core/text/TextPrivate.h"

namespace QuennelEngine {

static const char *PathOf(const char *strPath)
{
  if (QE_LIKELY(strPath != nullptr)) return strPath;
  corLogGuardBreach();
  return "";
}

// Characters in the directory part: through the last '/', or 0.
static int DirLength(const char *strPath)
{
  return strFindCharSB(strPath, '/') + 1;
}

CString strFileDir(const char *strPath)
{
  strPath = PathOf(strPath);
  return strGetHead(strPath, DirLength(strPath));
}

CString strNoFileDir(const char *strPath)
{
  strPath = PathOf(strPath);
  return CString(strPath + DirLength(strPath));
}

CString strFileName(const char *strPath)
{
  strPath = PathOf(strPath);
  const char *strName = strPath + DirLength(strPath);
  int iDot = strFindCharSB(strName, '.');
  return iDot < 0 ? CString(strName) : strGetHead(strName, iDot);
}

CString strFileExt(const char *strPath)
{
  strPath = PathOf(strPath);
  const char *strName = strPath + DirLength(strPath);
  int iDot = strFindCharSB(strName, '.');
  return iDot < 0 ? CString() : CString(strName + iDot);
}

CString strNoFileExt(const char *strPath)
{
  strPath = PathOf(strPath);
  int iDot = strFindCharSB(strPath, '.');
  return iDot < 0 ? CString(strPath) : strGetHead(strPath, iDot);
}

CString strDirName(const char *strPath)
{
  strPath = PathOf(strPath);
  int ct = strLen(strPath);
  if (ct == 0 || strPath[ct - 1] != '/') return CString();
  int iStart = ct - 1;
  while (iStart > 0 && strPath[iStart - 1] != '/') iStart--;
  return strGetSubstr(strPath, iStart, ct - 1 - iStart);
}

bool strIsValidFileName(const char *str)
{
  str = PathOf(str);
  for (; *str != 0; str++) {
    if (!chIsValidFileNameChar(*str)) return false;
  }
  return true;
}

bool wstrIsValidFileName(const unsigned short *wstr)
{
  if (wstr == nullptr) {
    corLogGuardBreach();
    return true;
  }
  for (; *wstr != 0; wstr++) {
    if (!wchIsValidFileNameChar(*wstr)) return false;
  }
  return true;
}

} // namespace QuennelEngine
