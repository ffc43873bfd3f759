#include "core/streams/ReplaceHistory.h"

#include "core/frame/Console.h"
#include "core/meta/MetaSettings.h"
#include "core/streams/FileSystem.h"
#include "core/streams/Stream.h"
#include "core/text/Compare.h"
#include "core/text/Editing.h"
#include "core/text/FileNames.h"
#include "core/text/Search.h"
#include "core/text/Translation.h"

#include <string.h>

namespace QuennelEngine {

struct ReplacePairs {
  CStaticStackArray<CString> rp_astrOld;
  CStaticStackArray<CString> rp_astrNew;
};

static ReplacePairs &Pairs(void)
{
  static ReplacePairs _rp;
  return _rp;
}

void filClearReplaceHistory(void)
{
  Pairs().rp_astrOld.Clear();
  Pairs().rp_astrNew.Clear();
}

long filGetReplaceHistoryCount(void)
{
  return Pairs().rp_astrOld.Count();
}

// Splits one line into the two names; false (reported) when the line is malformed.
static bool ParseLine(const CString &strLine, long iLine, CString &strOld, CString &strNew)
{
  if (strLine[0] == '"') {
    if (strScan(strLine, "%1 %2", fmtSpec(&strOld, "q"), fmtSpec(&strNew, "q")) < 0) {
      conErrorF(
          strTranslate("DOZUFile.HistoryTooFew=ReplaceHistory.txt(%1) : Too few filenames.\n"),
          ARG_INT, iLine);
      return false;
    }
  } else {
    if (strFindChar(strLine, '"') >= 0) {
      conErrorF(
          strTranslate(
              "DOZUFile.HistoryQuote=ReplaceHistory.txt(%1) : Illegal use of quote character.\n"),
          ARG_INT, iLine);
      return false;
    }
    int iBlank = strFindChar(strLine, ' ');
    if (iBlank < 0) {
      conErrorF(
          strTranslate("DOZUFile.HistoryTooFew=ReplaceHistory.txt(%1) : Too few filenames.\n"),
          ARG_INT, iLine);
      return false;
    }
    if (strFindChar(strLine.str_String + iBlank + 1, ' ') >= 0) {
      conErrorF(
          strTranslate("DOZUFile.HistoryTooMany=ReplaceHistory.txt(%1) : Too many filenames.\n"),
          ARG_INT, iLine);
      return false;
    }
    strOld = strGetHead(strLine, iBlank);
    strNew = strLine.str_String + iBlank + 1;
  }
  if (strOld.IsEmpty() || strNew.IsEmpty()) {
    conErrorF(strTranslate("DOZUFile.HistoryInvalid=ReplaceHistory.txt(%1) : Invalid filename.\n"),
              ARG_INT, iLine);
    return false;
  }
  strTrimSpaces(strOld);
  strTrimSpaces(strNew);
  strReplaceSubstrA(strOld, "\\", "/");
  strReplaceSubstrA(strNew, "\\", "/");
  return true;
}

void filLoadReplaceHistory_t(CStream &strm)
{
  filClearReplaceHistory();
  strm.ReadTextHeader_t();
  for (long iLine = 1; !strm.IsAtEOF_t(); iLine++) {
    CString strLine = strm.GetLine_t();
    if (strLine.IsEmpty()) continue;
    CString strOld, strNew;
    if (!ParseLine(strLine, iLine, strOld, strNew)) continue;
    Pairs().rp_astrOld.Push(strOld);
    Pairs().rp_astrNew.Push(strNew);
  }
}

void filLoadReplaceHistory_t(void)
{
  if (!filExists("ReplaceHistory.txt")) {
    filClearReplaceHistory();
    return;
  }
  CStream strm;
  strm.OpenFile_t("ReplaceHistory.txt", "r");
  filLoadReplaceHistory_t(strm);
}

// The part of a name before its '*', or "" when it has none.
static CString PrefixBeforeStar(const CString &str)
{
  int iStar = strFindChar(str, '*');
  return iStar < 0 ? CString() : strGetHead(str, iStar);
}

// A name whose extension is ".wld" ends so: most names are ruled out without splitting them.
static bool MayBeWorld(const char *strName, int ct = -1)
{
  if (ct < 0) ct = (int)strlen(strName);
  // (the case of ASCII letters is bit 5, and only 'W', 'L' and 'D' turn into these so)
  return ct >= 4 && strName[ct - 4] == '.' && (strName[ct - 3] | 0x20) == 'w' &&
         (strName[ct - 2] | 0x20) == 'l' && (strName[ct - 1] | 0x20) == 'd';
}

bool filReplaceHistoryKeeps(const char *strName, int ctLength)
{
  if (Pairs().rp_astrOld.Count() > 0) return false;
  return !(md_bAllowRawLoading && strName != nullptr && MayBeWorld(strName, ctLength));
}

CString filFileReplaceHistory(const char *strName)
{
  CString strResult(strName ? strName : "");
  const ReplacePairs &rp = Pairs();
  for (long i = 0; i < rp.rp_astrOld.Count(); i++) {
    const CString &strOld = rp.rp_astrOld[i];
    const CString &strNew = rp.rp_astrNew[i];
    if (strCompare(strResult, strOld) == 0) {
      strResult = strNew;
    } else if (strFindChar(strOld, '*') >= 0 && strFindChar(strNew, '*') >= 0) {
      CString strOldPrefix = PrefixBeforeStar(strOld);
      if (strCompareHead(strResult, strOldPrefix) == 0) {
        strDeleteHead(strResult, strOldPrefix.Length());
        strInsertHead(strResult, PrefixBeforeStar(strNew));
      }
    }
  }
  // A world may be loaded from its raw form, but only when that exists.
  if (md_bAllowRawLoading && strName != nullptr && MayBeWorld(strName) &&
      strCompare(strFileExt(strName), ".wld") == 0) {
    CString strRaw = strNoFileExt(strResult) + ".tex";
    if (filExists(strRaw)) strResult = strRaw;
  }
  return strResult;
}

} // namespace QuennelEngine
