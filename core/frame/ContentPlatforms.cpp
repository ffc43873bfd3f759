#include "core/frame/ContentPlatforms.h"

#include "core/text/Compare.h"
#include "core/text/Editing.h"
#include "core/text/FileNames.h"

namespace QuennelEngine {

namespace {
struct PlatformName {
  EPlatform pn_pla;
  const char *pn_strName; // the shown name of the reflected enumeration
};
const PlatformName _aPlatforms[] = {{PLA_PC, "PC"}, {PLA_XBOX, "Xbox"}};
} // namespace

CStaticStackArray<EPlatform> corContentPlatformsEnumerate(void)
{
  CStaticStackArray<EPlatform> sa;
  for (const PlatformName &pn : _aPlatforms) sa.Push(pn.pn_pla);
  return sa;
}

CString corContentPlatformToName(EPlatform plaMask)
{
  CString str;
  for (const PlatformName &pn : _aPlatforms) {
    if (!(plaMask & pn.pn_pla)) continue;
    if (!str.IsEmpty()) str += ",";
    str += pn.pn_strName;
  }
  return str.IsEmpty() ? CString("<unknown_platform>") : str;
}

EPlatform corContentPlatformFromName(const char *strName)
{
  if (strName == nullptr) return EPlatform(0);
  for (const PlatformName &pn : _aPlatforms) {
    if (strCompare(strName, pn.pn_strName) == 0) return pn.pn_pla;
  }
  if (strCompare(strName, "All") == 0) return PLA_ALL;
  return EPlatform(0);
}

CString corAdjustFilenameForPlatform(EPlatform pla, const char *strFileName)
{
  if (strFileName == nullptr) return CString();
  // strFileExt looks at the name only: a dot in a directory is no extension.
  if (pla == PLA_XBOX && strCompare(strFileExt(strFileName), ".ogg") == 0) {
    const CString strName(strFileName);
    return strGetHead(strName, strName.Length() - 4) + ".wma";
  }
  return CString(strFileName);
}

} // namespace QuennelEngine
