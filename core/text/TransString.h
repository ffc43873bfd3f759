#pragma once
// CTransString: a text that a translation table may replace. Its header is the key it is looked
// up by (eight hexadecimal digits made from the uptime, unique within the process); its text is
// what is shown when no loaded table translates the header.
#include "core/text/String.h"

namespace QuennelEngine {

class CORE_API CTransString {
public:
  CString ts_strHeader;
  CString ts_strText;

  // A new header and an empty text.
  CTransString();
  // A new header and the given text.
  CTransString(const char *strText);
  CTransString(const CString &strText);

  // Makes `strHeader` the key (null is a contract violation and changes nothing).
  void SetHeader(const char *strHeader);
  // Gives the object a new key: the uptime in milliseconds as "08X", raised past the last key
  // handed out so that no two are equal.
  void GenerateHeader(void);
  // Back to the state after default construction: a new header, an empty text.
  void Clear(void);

  // The translation of the header, or the object's own text (also with an empty header). A
  // translation stays valid until the process ends; the own text as long as the object holds it.
  const char *GetText(void) const;
  operator const char *() const { return GetText(); }
  operator CString() const { return CString(GetText()); }
};

} // namespace QuennelEngine
