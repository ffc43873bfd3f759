#include "core/text/Tags.h"

#include "core/frame/CodeGuard.h"
#include "core/memory/StaticStackArray.h"
#include "core/text/Compare.h"
#include "core/text/Editing.h"
#include "core/text/Search.h"

#include <string.h>

namespace QuennelEngine {

// Where a tag lies in a text: its name's start and the end of its value (its closing delimiter
// included when there is one).
struct TagExtent {
  int te_iStart = -1;
  int te_iValue = -1;
  int te_iValueEnd = -1;
  int te_iEnd = -1;
};

// Each caller reports its own guard breach, so that every entry point counts as a call site.
static bool ValidArguments(const char *strText, const char *strName, const char *strDelimiter)
{
  return strText != nullptr && strName != nullptr && strDelimiter != nullptr &&
         strDelimiter[0] != 0;
}

static TagExtent FindTag(const char *strText, const char *strName, const char *strDelimiter)
{
  TagExtent te;
  if (strName[0] == 0) return te;
  const int ctDelimiter = (int)strlen(strDelimiter);
  const CString strNameDelimiter = CString(strName) + strDelimiter;
  if (strHasHead(strText, strNameDelimiter)) {
    te.te_iStart = 0;
  } else {
    const int i = strFindSubstr(strText, CString(strDelimiter) + strNameDelimiter);
    if (i < 0) return te;
    te.te_iStart = i + ctDelimiter;
  }
  te.te_iValue = te.te_iStart + strNameDelimiter.Length();
  if (strText[te.te_iValue] == '=') te.te_iValue++;
  const char *pchEnd = strstr(strText + te.te_iValue, strDelimiter);
  if (pchEnd != nullptr) {
    te.te_iValueEnd = (int)(pchEnd - strText);
    te.te_iEnd = te.te_iValueEnd + ctDelimiter;
  } else {
    te.te_iValueEnd = te.te_iEnd = (int)strlen(strText);
  }
  return te;
}

void tagAddTag(CString &strText, const char *strName, const char *strValue,
               const char *strDelimiter)
{
  if (!ValidArguments(strText, strName, strDelimiter) || strValue == nullptr) {
    corLogGuardBreach();
    return;
  }
  strText = strText + strName + strDelimiter + "=" + strValue + strDelimiter;
}

void tagSetTagValue(CString &strText, const char *strName, const char *strValue,
                    const char *strDelimiter)
{
  if (!ValidArguments(strText, strName, strDelimiter) || strValue == nullptr) {
    corLogGuardBreach();
    return;
  }
  tagRemoveTag(strText, strName, strDelimiter);
  tagAddTag(strText, strName, strValue, strDelimiter);
}

void tagRemoveTag(CString &strText, const char *strName, const char *strDelimiter)
{
  if (!ValidArguments(strText, strName, strDelimiter)) {
    corLogGuardBreach();
    return;
  }
  // Each pass shortens the text, so this ends.
  for (;;) {
    const TagExtent te = FindTag(strText, strName, strDelimiter);
    if (te.te_iStart < 0) return;
    strDeleteSubstr(strText, te.te_iStart, te.te_iEnd - te.te_iStart);
  }
}

bool tagIsTagDefined(const char *strText, const char *strName, const char *strDelimiter)
{
  if (!ValidArguments(strText, strName, strDelimiter)) {
    corLogGuardBreach();
    return false;
  }
  return FindTag(strText, strName, strDelimiter).te_iStart >= 0;
}

CString tagGetTagValue(const char *strText, const char *strName, const char *strDelimiter)
{
  if (!ValidArguments(strText, strName, strDelimiter)) {
    corLogGuardBreach();
    return CString();
  }
  const TagExtent te = FindTag(strText, strName, strDelimiter);
  if (te.te_iStart < 0) return CString();
  return CString(strText + te.te_iValue, te.te_iValueEnd - te.te_iValue);
}

CString tagSubstituteTags(const char *strText, const char *strOpening, const char *strClosing,
                          const char *strTags, const char *strDelimiter)
{
  if (!ValidArguments(strText, strTags, strDelimiter) || strOpening == nullptr ||
      strClosing == nullptr || strOpening[0] == 0 || strClosing[0] == 0) {
    corLogGuardBreach();
    return CString(strText);
  }
  const int ctOpening = (int)strlen(strOpening);
  const int ctClosing = (int)strlen(strClosing);
  CStaticStackArray<char> ach;
  ach.SetAllocationStep(256);
  auto Append = [&ach](const char *pch, int ct) {
    char *pchTo = ach.Push((long)ct);
    memcpy(pchTo, pch, ct);
  };

  const char *pch = strText;
  while (*pch != 0) {
    if (strncmp(pch, strOpening, ctOpening) == 0 && pch[ctOpening] != 0) {
      const char *pchName = pch + ctOpening;
      const char *pchClosing = strstr(pchName + 1, strClosing);
      if (pchClosing != nullptr) {
        CString strName(pchName, (int)(pchClosing - pchName));
        strTrimSpaces(strName);
        const TagExtent te = FindTag(strTags, strName, strDelimiter);
        if (te.te_iStart >= 0) {
          Append(strTags + te.te_iValue, te.te_iValueEnd - te.te_iValue);
          pch = pchClosing + ctClosing;
          continue;
        }
      }
    }
    // Anything else, an unknown mark included, is copied; a mark may still start inside it.
    Append(pch, 1);
    pch++;
  }
  return CString(ach.Count() > 0 ? ach.begin() : "", (int)ach.Count());
}

} // namespace QuennelEngine
