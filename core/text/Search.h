#pragma once
// Searching in text. Every function returns the index of the first character of the hit (also
// for the backward B forms), or -1. No suffix ignores case; S is case-sensitive; B searches from
// the end.
#include "core/platform/Platform.h"

namespace QuennelEngine {

CORE_API int strFindChar(const char *str, char ch);
CORE_API int strFindCharS(const char *str, char ch);
CORE_API int strFindCharB(const char *str, char ch);
CORE_API int strFindCharSB(const char *str, char ch);
CORE_API int wstrFindChar(const unsigned short *wstr, unsigned short wch);
CORE_API int wstrFindCharS(const unsigned short *wstr, unsigned short wch);
CORE_API int wstrFindCharB(const unsigned short *wstr, unsigned short wch);
CORE_API int wstrFindCharSB(const unsigned short *wstr, unsigned short wch);

// -1 also if `strSub` or `str` is empty, or `str` is shorter than `strSub`.
CORE_API int strFindSubstr(const char *str, const char *strSub);
CORE_API int strFindSubstrS(const char *str, const char *strSub);
CORE_API int strFindSubstrB(const char *str, const char *strSub);
CORE_API int strFindSubstrSB(const char *str, const char *strSub);
CORE_API int wstrFindSubstr(const unsigned short *wstr, const unsigned short *wstrSub);
CORE_API int wstrFindSubstrS(const unsigned short *wstr, const unsigned short *wstrSub);
CORE_API int wstrFindSubstrB(const unsigned short *wstr, const unsigned short *wstrSub);
CORE_API int wstrFindSubstrSB(const unsigned short *wstr, const unsigned short *wstrSub);

// The first (B: last) character of `str` that is in `strSet`.
CORE_API int strFindFromSet(const char *str, const char *strSet);
CORE_API int strFindFromSetS(const char *str, const char *strSet);
CORE_API int strFindFromSetB(const char *str, const char *strSet);
CORE_API int strFindFromSetSB(const char *str, const char *strSet);
CORE_API int wstrFindFromSet(const unsigned short *wstr, const unsigned short *wstrSet);
CORE_API int wstrFindFromSetS(const unsigned short *wstr, const unsigned short *wstrSet);
CORE_API int wstrFindFromSetB(const unsigned short *wstr, const unsigned short *wstrSet);
CORE_API int wstrFindFromSetSB(const unsigned short *wstr, const unsigned short *wstrSet);

// The first (B: last) character of `str` that is not in `strSet`.
CORE_API int strFindNotFromSet(const char *str, const char *strSet);
CORE_API int strFindNotFromSetS(const char *str, const char *strSet);
CORE_API int strFindNotFromSetB(const char *str, const char *strSet);
CORE_API int strFindNotFromSetSB(const char *str, const char *strSet);
CORE_API int wstrFindNotFromSet(const unsigned short *wstr, const unsigned short *wstrSet);
CORE_API int wstrFindNotFromSetS(const unsigned short *wstr, const unsigned short *wstrSet);
CORE_API int wstrFindNotFromSetB(const unsigned short *wstr, const unsigned short *wstrSet);
CORE_API int wstrFindNotFromSetSB(const unsigned short *wstr, const unsigned short *wstrSet);

// The character at `i`, 0 if `i` is outside the text.
CORE_API char strGetChar(const char *str, int i);
CORE_API unsigned short wstrGetChar(const unsigned short *wstr, int i);
// A pointer to the character at `i`, clamped to the text (negative gives the start, past the end
// gives the terminator).
CORE_API const char *strGetAtOffset(const char *str, int i);
CORE_API const unsigned short *strGetAtOffset(const unsigned short *wstr, int i);

} // namespace QuennelEngine
