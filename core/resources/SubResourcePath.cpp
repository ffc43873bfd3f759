#include "core/resources/SubResourcePath.h"

#include "core/frame/CodeGuard.h"
#include "core/resources/Resource.h"
#include "core/text/Editing.h"
#include "core/text/FormatArgs.h"
#include "core/text/Search.h"

namespace QuennelEngine {

int resHasSubResource(const char *strPath)
{
  return strPath != nullptr && strFindCharS(strPath, '|') >= 0;
}

void resDecodeSubResourcePath(const char *strPath, CString &strFile, CString &strName)
{
  const char *str = strPath != nullptr ? strPath : "";
  const int i = strFindCharS(str, '|');
  if (i < 0) {
    strFile = str;
    strName = CString();
    return;
  }
  strFile = strGetHead(str, i);
  strName = str + i + 1;
}

CString resCompileSubResourcePath(const char *strFile, const char *strName)
{
  if (strName == nullptr || strName[0] == 0) return CString(strFile != nullptr ? strFile : "");
  return strFormat("%1|%2", strFile != nullptr ? strFile : "", strName);
}

CString resGetResourceFile(const char *strPath)
{
  CString strFile, strName;
  resDecodeSubResourcePath(strPath, strFile, strName);
  return strFile;
}

CString resGetResourceName(const char *strPath)
{
  CString strFile, strName;
  resDecodeSubResourcePath(strPath, strFile, strName);
  return strName;
}

CString resGetSubResourcePath(CResource *prs)
{
  if (prs == nullptr) {
    corLogGuardBreach();
    return CString();
  }
  return resCompileSubResourcePath(prs->GetFileName(), prs->GetName());
}

CString resGetFileName(CResource *prs)
{
  if (prs == nullptr) {
    corLogGuardBreach();
    return CString();
  }
  return prs->GetFileName();
}

} // namespace QuennelEngine
