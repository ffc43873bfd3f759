#pragma once
// Private to Core: what the 8-bit and 16-bit text functions share. Each family is written once as
// a template over the character type; TextTraits supplies what differs between the two widths.
#include "core/text/CharactersPrivate.h"
#include "core/text/String.h"
#include "core/text/StringAlloc.h"
#include "core/text/WString.h"

#include <string.h>

namespace QuennelEngine {

template <class CH> struct TextTraits;

template <> struct TextTraits<char> {
  typedef CString String;
  typedef signed char Signed; // 8-bit characters compare as signed values
  static int Class(char c) { return chClassOf(c); }
  static char Lower(char c) { return chLower(c); }
  static char Upper(char c) { return chUpper(c); }
  static char *Alloc(int ct) { return strAlloc(ct); }
  static char *Resize(char *p, int ct) { return strResize(p, ct); }
  static void Free(char *p) { strFree(p); }
  static char *&Buffer(CString &s) { return s.str_String; }
};

template <> struct TextTraits<unsigned short> {
  typedef CWString String;
  typedef unsigned short Signed; // 16-bit units compare unsigned
  static int Class(unsigned short c) { return wchClassOf(c); }
  static unsigned short Lower(unsigned short c) { return wchLower(c); }
  static unsigned short Upper(unsigned short c) { return wchUpper(c); }
  static unsigned short *Alloc(int ct) { return wstrAlloc(ct); }
  static unsigned short *Resize(unsigned short *p, int ct) { return wstrResize(p, ct); }
  static void Free(unsigned short *p) { wstrFree(p); }
  static unsigned short *&Buffer(CWString &s) { return s.wstr_String; }
};

inline int TextLength(const char *p)
{
  return p ? (int)strlen(p) : 0;
}

inline int TextLength(const unsigned short *p)
{
  if (!p) return 0;
  const unsigned short *pEnd = p;
  while (*pEnd) pEnd++;
  return (int)(pEnd - p);
}

// Builds the string types around buffers that Core allocated.
struct TextAccess {
  static CString Adopt(char *p) { return CString(p, CString::Adopted()); }
  static CWString Adopt(unsigned short *p) { return CWString(p, CWString::Adopted()); }
};

// A String that takes over a freshly allocated buffer.
template <class CH> inline typename TextTraits<CH>::String Adopt(CH *p)
{
  return TextAccess::Adopt(p);
}

// Case folding selected at compile time: folded for the plain functions, raw for the S forms.
template <class CH, bool bCaseSensitive> struct Folding {
  static CH Fold(CH c) { return bCaseSensitive ? c : TextTraits<CH>::Lower(c); }
};

} // namespace QuennelEngine

namespace QuennelEngine {
namespace TextBuffer {

// A new buffer with a copy of exactly `ct` characters of `p` (which must exist).
template <class CH> CH *CopyOf(const CH *p, int ct)
{
  CH *pNew = TextTraits<CH>::Alloc(ct);
  if (ct > 0) memcpy(pNew, p, ct * sizeof(CH));
  return pNew;
}

// Replaces the buffer held in `p` by a copy of `pText`; safe when pText points into the old buffer.
template <class CH> void Assign(CH *&p, const CH *pText)
{
  const int ct = TextLength(pText);
  // A text as long as the one held is copied over it: strings assigned in a loop allocate once.
  if (ct > 0 && TextLength(p) == ct) {
    memmove(p, pText, ct * sizeof(CH));
    return;
  }
  CH *pNew = CopyOf(pText, ct);
  TextTraits<CH>::Free(p);
  p = pNew;
}

// Replaces the buffer held in `p` by `pNew`, which it takes over.
template <class CH> void Take(CH *&p, CH *pNew)
{
  TextTraits<CH>::Free(p);
  p = pNew;
}

} // namespace TextBuffer
} // namespace QuennelEngine
