#include "core/text/String.h"

#include "core/frame/CodeGuard.h"
#include "core/text/TextPrivate.h"

namespace QuennelEngine {

CString::CString() : str_String(strAlloc(0))
{
}

CString::CString(const char *strText) : str_String(strDuplicate(strText))
{
}

CString::CString(const CString &str) : str_String(strDuplicate(str.str_String))
{
}

CString::CString(CString &&str) noexcept : str_String(str.str_String)
{
  str.str_String = strAlloc(0);
}

CString::CString(int ctLength) : str_String(strAlloc(ctLength))
{
  // A zero length gives the shared empty array, which is already terminated and never written.
  if (ctLength > 0) str_String[0] = 0;
}

CString::CString(char ch, int ctCount) : str_String(strAlloc(ctCount))
{
  if (ctCount > 0) memset(str_String, ch, ctCount);
}

CString::CString(const char *strText, int ctCount)
{
  if (strText == nullptr || ctCount < 0) {
    corLogGuardBreach();
    ctCount = 0;
  }
  str_String = TextBuffer::CopyOf(strText, ctCount);
}

CString::~CString()
{
  strFree(str_String);
}

void CString::Construct(void)
{
  str_String = strAlloc(0);
}

void CString::Clear(void)
{
  TextBuffer::Take(str_String, strAlloc(0));
}

CString &CString::operator=(const char *strText)
{
  TextBuffer::Assign(str_String, strText);
  return *this;
}

CString &CString::operator=(const CString &str)
{
  if (this != &str) TextBuffer::Assign(str_String, (const char *)str.str_String);
  return *this;
}

CString &CString::operator=(CString &&str) noexcept
{
  if (this != &str) {
    TextBuffer::Take(str_String, str.str_String);
    str.str_String = strAlloc(0);
  }
  return *this;
}

char CString::GetChar(int i) const
{
  if (i < 0) return 0;
  // Walk rather than take the length: the index is usually near the start.
  for (int j = 0; j < i; j++) {
    if (str_String[j] == 0) return 0;
  }
  return str_String[i];
}

int CString::Length(void) const
{
  return strLen(str_String);
}

} // namespace QuennelEngine
