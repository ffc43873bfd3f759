#pragma once
// Text comparison: orders, heads and tails, equality of the string types, and the collation
// table that orders 16-bit text.
#include "core/text/String.h"
#include "core/text/WString.h"

namespace QuennelEngine {

// -1, 0 or 1. Characters are folded to lower case and compared as signed 8-bit values; the end of
// a text compares as 0, so bytes 128-255 order before the end.
CORE_API int strCompare(const char *strA, const char *strB);
// As strCompare, without folding case.
CORE_API int strCompareS(const char *strA, const char *strB);
// -1, 0 or 1 for 16-bit text: folded units, mapped through the collation table, compared unsigned.
CORE_API int wstrCompare(const unsigned short *wstrA, const unsigned short *wstrB);
// As wstrCompare, without folding case.
CORE_API int wstrCompareS(const unsigned short *wstrA, const unsigned short *wstrB);

// 0 if `str` begins with `strHead` (always for an empty head), else -1 or 1 by the first
// difference (-1 when `str` is shorter).
CORE_API int strCompareHead(const char *str, const char *strHead);
CORE_API int strCompareHeadS(const char *str, const char *strHead);
CORE_API int wstrCompareHead(const unsigned short *wstr, const unsigned short *wstrHead);
CORE_API int wstrCompareHeadS(const unsigned short *wstr, const unsigned short *wstrHead);
// As the head comparisons, against the end of `str`.
CORE_API int strCompareTail(const char *str, const char *strTail);
CORE_API int strCompareTailS(const char *str, const char *strTail);
CORE_API int wstrCompareTail(const unsigned short *wstr, const unsigned short *wstrTail);
CORE_API int wstrCompareTailS(const unsigned short *wstr, const unsigned short *wstrTail);

// True when the corresponding comparison gives 0.
CORE_API bool strHasHead(const char *str, const char *strHead);
CORE_API bool strHasHeadS(const char *str, const char *strHead);
CORE_API bool strHasTail(const char *str, const char *strTail);
CORE_API bool strHasTailS(const char *str, const char *strTail);
CORE_API bool wstrHasHead(const unsigned short *wstr, const unsigned short *wstrHead);
CORE_API bool wstrHasHeadS(const unsigned short *wstr, const unsigned short *wstrHead);
CORE_API bool wstrHasTail(const unsigned short *wstr, const unsigned short *wstrTail);
CORE_API bool wstrHasTailS(const unsigned short *wstr, const unsigned short *wstrTail);

// Makes `wstrTable` (of length L) the collation table of 16-bit comparisons: a code point c with
// 1 <= c < L compares as the unit at c-1 of the table, others as themselves. Empty removes it.
CORE_API void wstrSetCollation(const unsigned short *wstrTable);

// Reads one CWString (in its stream form) from the file and makes it the collation table.
CORE_API void strLoadCollation_t(const char *strFileName);

// The equality operators of CString and CWString are declared with the classes.

} // namespace QuennelEngine
