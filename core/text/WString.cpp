#include "core/text/WString.h"

#include "core/frame/CodeGuard.h"
#include "core/text/TextPrivate.h"

namespace QuennelEngine {

CWString::CWString() : wstr_String(wstrAlloc(0))
{
}

CWString::CWString(const unsigned short *wstrText) : wstr_String(wstrDuplicate(wstrText))
{
}

CWString::CWString(const char16_t *wstrText)
    : wstr_String(wstrDuplicate(reinterpret_cast<const unsigned short *>(wstrText)))
{
}

CWString::CWString(const CWString &str) : wstr_String(wstrDuplicate(str.wstr_String))
{
}

CWString::CWString(CWString &&str) noexcept : wstr_String(str.wstr_String)
{
  str.wstr_String = wstrAlloc(0);
}

CWString::CWString(int ctLength) : wstr_String(wstrAlloc(ctLength))
{
  // A zero length gives the shared empty array, which is already terminated and never written.
  if (ctLength > 0) wstr_String[0] = 0;
}

CWString::CWString(unsigned short wch, int ctCount) : wstr_String(wstrAlloc(ctCount))
{
  for (int i = 0; i < ctCount; i++) wstr_String[i] = wch;
}

CWString::CWString(const unsigned short *wstrText, int ctCount)
{
  if (wstrText == nullptr || ctCount < 0) {
    corLogGuardBreach();
    ctCount = 0;
  }
  wstr_String = TextBuffer::CopyOf(wstrText, ctCount);
}

CWString::~CWString()
{
  wstrFree(wstr_String);
}

void CWString::Construct(void)
{
  wstr_String = wstrAlloc(0);
}

void CWString::Clear(void)
{
  TextBuffer::Take(wstr_String, wstrAlloc(0));
}

CWString &CWString::operator=(const unsigned short *wstrText)
{
  TextBuffer::Assign(wstr_String, wstrText);
  return *this;
}

CWString &CWString::operator=(const CWString &str)
{
  if (this != &str) TextBuffer::Assign(wstr_String, (const unsigned short *)str.wstr_String);
  return *this;
}

CWString &CWString::operator=(CWString &&str) noexcept
{
  if (this != &str) {
    TextBuffer::Take(wstr_String, str.wstr_String);
    str.wstr_String = wstrAlloc(0);
  }
  return *this;
}

unsigned short CWString::GetChar(int i) const
{
  if (i < 0) return 0;
  // Walk rather than take the length: the index is usually near the start.
  for (int j = 0; j < i; j++) {
    if (wstr_String[j] == 0) return 0;
  }
  return wstr_String[i];
}

int CWString::Length(void) const
{
  return wstrLen(wstr_String);
}

} // namespace QuennelEngine
