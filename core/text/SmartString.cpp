#include "core/text/SmartString.h"

#include "core/frame/CodeGuard.h"
#include "core/memory/Memory.h"
#include "core/text/TextPrivate.h"

namespace QuennelEngine {

// The text of a builder without a buffer; never written.
static char _strNoText[1] = {0};

CSmartString::CSmartString()
    : ss_pchText(_strNoText), ss_pchBuffer(nullptr), ss_ctLength(0), ss_ctCapacity(0),
      ss_ctGrowthStep(16)
{
}

CSmartString::CSmartString(const CSmartString &ss) : CSmartString()
{
  ss_ctGrowthStep = ss.ss_ctGrowthStep;
  *this = ss.ss_pchText;
}

CSmartString::~CSmartString()
{
  memFree(ss_pchBuffer);
}

void CSmartString::Preallocate(int ctBytes)
{
  // The buffer always holds at least the terminator.
  if (ctBytes < 1) ctBytes = 1;
  memFree(ss_pchBuffer);
  ss_pchBuffer = (char *)memMAlloc(ctBytes);
  ss_pchBuffer[0] = 0;
  ss_pchText = ss_pchBuffer;
  ss_ctLength = 0;
  ss_ctCapacity = ctBytes;
}

void CSmartString::SetGrowthStep(int ctBytes)
{
  if (ctBytes < 1) {
    corLogGuardBreach();
    ctBytes = 1;
  }
  ss_ctGrowthStep = ctBytes;
}

void CSmartString::Reserve(int ctAdded)
{
  int iOffset = (int)(ss_pchText - (ss_pchBuffer ? ss_pchBuffer : _strNoText));
  int ctNeeded = iOffset + ss_ctLength + ctAdded + 1;
  if (ctNeeded <= ss_ctCapacity) return;
  // Grow by whole steps to the first multiple that fits, in one allocation.
  int ctSteps = (ctNeeded - ss_ctCapacity + ss_ctGrowthStep - 1) / ss_ctGrowthStep;
  int ctNewCapacity = ss_ctCapacity + ctSteps * ss_ctGrowthStep;
  char *pchNew = (char *)memMAlloc(ctNewCapacity);
  if (ss_pchBuffer != nullptr) {
    memcpy(pchNew, ss_pchBuffer, ss_ctCapacity);
    memFree(ss_pchBuffer);
  } else {
    pchNew[0] = 0;
  }
  ss_pchBuffer = pchNew;
  ss_pchText = pchNew + iOffset;
  ss_ctCapacity = ctNewCapacity;
}

void CSmartString::Splice(int iPosition, int ctRemoved, const char *pchInsert, int ctInserted)
{
  // The inserted text may lie inside our own buffer, which growing moves: keep its offset.
  bool bInside = ss_pchBuffer != nullptr && pchInsert >= ss_pchBuffer &&
                 pchInsert < ss_pchBuffer + ss_ctCapacity;
  int iInsertOffset = bInside ? (int)(pchInsert - ss_pchBuffer) : 0;
  if (ctInserted > ctRemoved) Reserve(ctInserted - ctRemoved);
  if (bInside) pchInsert = ss_pchBuffer + iInsertOffset;

  char *pchAt = ss_pchText + iPosition;
  int ctTail = ss_ctLength - iPosition - ctRemoved;
  if (bInside) {
    // Overlapping source: build the result in a scratch copy of the inserted part first.
    char *pchCopy = (char *)memMAlloc(ctInserted + 1);
    memcpy(pchCopy, pchInsert, ctInserted);
    memmove(pchAt + ctInserted, pchAt + ctRemoved, ctTail + 1);
    memcpy(pchAt, pchCopy, ctInserted);
    memFree(pchCopy);
  } else {
    if (ss_pchBuffer == nullptr) return; // nothing inserted into an empty builder
    memmove(pchAt + ctInserted, pchAt + ctRemoved, ctTail + 1);
    memcpy(pchAt, pchInsert, ctInserted);
  }
  ss_ctLength += ctInserted - ctRemoved;
}

void CSmartString::InsertHead(const char *strText)
{
  InsertSubStr(strText, 0);
}

void CSmartString::InsertSubStr(const char *strText, int iPosition)
{
  if (strText == nullptr) {
    corLogGuardBreach();
    return;
  }
  if (iPosition < 0) iPosition = 0;
  if (iPosition > ss_ctLength) iPosition = ss_ctLength;
  Splice(iPosition, 0, strText, (int)strlen(strText));
}

void CSmartString::SetAsSubstr(const char *strText, int iPosition, int ctCount)
{
  if (strText == nullptr) {
    corLogGuardBreach();
    return;
  }
  int ct = (int)strlen(strText);
  if (iPosition < 0) iPosition = 0;
  if (iPosition > ct) iPosition = ct;
  if (ctCount < 0) ctCount = 0;
  if (ctCount > ct - iPosition) ctCount = ct - iPosition;
  Splice(0, ss_ctLength, strText + iPosition, ctCount);
}

void CSmartString::SetAsHead(const char *strText, int ctCount)
{
  SetAsSubstr(strText, 0, ctCount);
}

void CSmartString::RemoveChar(int iPosition)
{
  if (iPosition < 0 || iPosition >= ss_ctLength) return;
  Splice(iPosition, 1, "", 0);
}

void CSmartString::TrimSpacesLeft(void)
{
  while (ss_ctLength > 0 && chIsSpace(*ss_pchText)) {
    ss_pchText++;
    ss_ctLength--;
  }
}

void CSmartString::TrimSpacesRight(void)
{
  int ct = ss_ctLength;
  while (ct > 0 && chIsSpace(ss_pchText[ct - 1])) ct--;
  if (ct == ss_ctLength) return;
  ss_pchText[ct] = 0;
  ss_ctLength = ct;
}

CSmartString &CSmartString::operator=(const char *strText)
{
  if (strText == nullptr) {
    corLogGuardBreach();
    strText = "";
  }
  Splice(0, ss_ctLength, strText, (int)strlen(strText));
  return *this;
}

CSmartString &CSmartString::operator=(const CSmartString &ss)
{
  if (this != &ss) *this = ss.ss_pchText;
  return *this;
}

CSmartString &CSmartString::operator+=(const char *strText)
{
  InsertSubStr(strText, ss_ctLength);
  return *this;
}

bool CSmartString::operator==(const char *strText) const
{
  if (strText == nullptr) return false;
  const char *pch = ss_pchText;
  for (; chLower(*pch) == chLower(*strText); pch++, strText++) {
    if (*pch == 0) return true;
  }
  return false;
}

bool CSmartString::operator!=(const char *strText) const
{
  return !(*this == strText);
}

} // namespace QuennelEngine
