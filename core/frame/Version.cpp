#include "core/frame/Version.h"

#include "core/frame/Exception.h"
#include "core/text/Compare.h"
#include "core/text/Editing.h"
#include "core/text/Search.h"
#include "core/text/Translation.h"

namespace QuennelEngine {

CVersion::CVersion() : ver_iMajor(-1), ver_iMinor(-1), ver_iPatch(-1), ver_iBuild(-1)
{
}

CString verVersionToString(const CVersion &ver)
{
  return strFormat("$%1: %2; %3.%4.%5:%6; %7$", "Version", ver.ver_strName, ver.ver_iMajor,
                   fmtSpec(ver.ver_iMinor, "03"), fmtSpec(ver.ver_iPatch, "02"), ver.ver_iBuild,
                   ver.ver_strNote);
}

[[noreturn]] static void VersionError_t(void)
{
  ThrowF_t(strTranslate("DOZUVersion.FormatError=Version format error."));
}

// Takes the text before the first ';' out of `str` (the ';' is removed too).
static CString TakeField_t(CString &str)
{
  int iSemicolon = strFindChar(str, ';');
  if (iSemicolon < 0) VersionError_t();
  CString strField = strExtractHead(str, iSemicolon);
  strDeleteHead(str, 1);
  strTrimSpaces(strField);
  return strField;
}

CVersion verStringToVersion_t(const char *strVersion)
{
  CString str(strVersion ? strVersion : "");
  if (!strRemoveHeadS(str, "$Version:") || !strRemoveTailS(str, "$")) VersionError_t();
  CVersion ver;
  ver.ver_strName = TakeField_t(str);
  CString strNumbers = TakeField_t(str);
  if (strScan(strNumbers, "%1.%2.%3:%4", &ver.ver_iMajor, &ver.ver_iMinor, &ver.ver_iPatch,
              &ver.ver_iBuild) < 0) {
    VersionError_t();
  }
  if (ver.ver_iMajor < 1 || ver.ver_iMinor < 1 || ver.ver_iMinor >= 1000 || ver.ver_iPatch < 0 ||
      ver.ver_iPatch >= 100 || ver.ver_iBuild < 0) {
    VersionError_t();
  }
  strTrimSpaces(str);
  ver.ver_strNote = str;
  // Only the canonical text of a version is accepted.
  if (strCompareS(verVersionToString(ver), strVersion) != 0) VersionError_t();
  return ver;
}

const CVersion &corGetCoreVersion(void)
{
  static const CVersion _ver =
      verStringToVersion_t("$Version: Quennel Vop 2; 2.062.00:57676; 2005-DEMO-inc$");
  return _ver;
}

} // namespace QuennelEngine
