#pragma once
// Editing and extraction of CString and CWString. Indices outside the text are clamped to it and
// counts to what the text holds; functions that return a text return a new string by value.
#include "core/text/String.h"
#include "core/text/WString.h"

namespace QuennelEngine {

// Sets the character at `i` (ignored outside the text).
CORE_API void strSetChar(CString &str, int i, char ch);
// Overwrites from `i` with `strText`, growing the string where it runs past the end.
CORE_API void strSetSubstr(CString &str, int i, const char *strText);
CORE_API void strInsertChar(CString &str, int i, char ch);
CORE_API void strInsertSubstr(CString &str, int i, const char *strText);
CORE_API void strInsertHead(CString &str, const char *strText);
CORE_API void strInsertTail(CString &str, const char *strText);
CORE_API void strDeleteChar(CString &str, int i);
CORE_API void strDeleteSubstr(CString &str, int i, int ctCount);
CORE_API void strDeleteHead(CString &str, int ctCount);
CORE_API void strDeleteTail(CString &str, int ctCount);

CORE_API CString strGetSubstr(const char *str, int i, int ctCount);
CORE_API CString strGetHead(const char *str, int ctCount);
CORE_API CString strGetTail(const char *str, int ctCount);
// Copy out a part and remove it from `str`.
CORE_API CString strExtractSubstr(CString &str, int i, int ctCount);
CORE_API CString strExtractHead(CString &str, int ctCount);
CORE_API CString strExtractTail(CString &str, int ctCount);
// Removes and returns everything up to the first line feed (the line feed is removed too); the
// whole text when there is none.
CORE_API CString strExtractFirstLine(CString &str);
// The characters before `i` into `strHead`, from `i` on into `strTail` (either may be `str`).
CORE_API void strSplit(const char *str, int i, CString &strHead, CString &strTail);

// Replace the first occurrence (B: the last, A: every one); true if anything was replaced.
CORE_API bool strReplaceSubstr(CString &str, const char *strOld, const char *strNew);
CORE_API bool strReplaceSubstrS(CString &str, const char *strOld, const char *strNew);
CORE_API bool strReplaceSubstrB(CString &str, const char *strOld, const char *strNew);
CORE_API bool strReplaceSubstrSB(CString &str, const char *strOld, const char *strNew);
CORE_API bool strReplaceSubstrA(CString &str, const char *strOld, const char *strNew);
CORE_API bool strReplaceSubstrSA(CString &str, const char *strOld, const char *strNew);
// Remove the head (tail) if it is there; true if removed.
CORE_API bool strRemoveHead(CString &str, const char *strHead);
CORE_API bool strRemoveHeadS(CString &str, const char *strHead);
CORE_API bool strRemoveTail(CString &str, const char *strTail);
CORE_API bool strRemoveTailS(CString &str, const char *strTail);

// Remove characters of the space class from the left, the right or both ends.
CORE_API void strTrimSpacesLeft(CString &str);
CORE_API void strTrimSpacesRight(CString &str);
CORE_API void strTrimSpaces(CString &str);

CORE_API CString strToLower(const char *str);
CORE_API CString strToUpper(const char *str);
CORE_API CString strToValidChar(const char *str);
CORE_API CString strReverse(const char *str);

CORE_API CString strConcat(const char *strA, const char *strB);

CORE_API CString strFromPsz(const char *str);
CORE_API CString strFromChar(char ch);
// "%1" of a 32-bit integer, of a float, and of a pointer formatted as "#010X".
CORE_API CString strFromIndex(int i);
CORE_API CString strFromFloat(float f);
CORE_API CString strFromObjPtr(const void *pv);

// `str` without its caret markup codes (^A ^B ^C ^F ^I ^b ^i ^o ^r, ^^, ^a.. ^f.., ^c......).
CORE_API CString strUndecorated(const char *str);
CORE_API int strLengthUndecorated(const char *str);

// The same functions for 16-bit text.
CORE_API void wstrSetChar(CWString &wstr, int i, unsigned short wch);
CORE_API void wstrSetSubstr(CWString &wstr, int i, const unsigned short *wstrText);
CORE_API void wstrInsertChar(CWString &wstr, int i, unsigned short wch);
CORE_API void wstrInsertSubstr(CWString &wstr, int i, const unsigned short *wstrText);
CORE_API void wstrInsertHead(CWString &wstr, const unsigned short *wstrText);
CORE_API void wstrInsertTail(CWString &wstr, const unsigned short *wstrText);
CORE_API void wstrDeleteChar(CWString &wstr, int i);
CORE_API void wstrDeleteSubstr(CWString &wstr, int i, int ctCount);
CORE_API void wstrDeleteHead(CWString &wstr, int ctCount);
CORE_API void wstrDeleteTail(CWString &wstr, int ctCount);
CORE_API CWString wstrGetSubstr(const unsigned short *wstr, int i, int ctCount);
CORE_API CWString wstrGetHead(const unsigned short *wstr, int ctCount);
CORE_API CWString wstrGetTail(const unsigned short *wstr, int ctCount);
CORE_API CWString wstrExtractSubstr(CWString &wstr, int i, int ctCount);
CORE_API CWString wstrExtractHead(CWString &wstr, int ctCount);
CORE_API CWString wstrExtractTail(CWString &wstr, int ctCount);
CORE_API CWString wstrExtractFirstLine(CWString &wstr);
CORE_API void wstrSplit(const unsigned short *wstr, int i, CWString &wstrHead, CWString &wstrTail);
CORE_API bool wstrReplaceSubstr(CWString &wstr, const unsigned short *wstrOld,
                                const unsigned short *wstrNew);
CORE_API bool wstrReplaceSubstrS(CWString &wstr, const unsigned short *wstrOld,
                                 const unsigned short *wstrNew);
CORE_API bool wstrReplaceSubstrB(CWString &wstr, const unsigned short *wstrOld,
                                 const unsigned short *wstrNew);
CORE_API bool wstrReplaceSubstrSB(CWString &wstr, const unsigned short *wstrOld,
                                  const unsigned short *wstrNew);
CORE_API bool wstrReplaceSubstrA(CWString &wstr, const unsigned short *wstrOld,
                                 const unsigned short *wstrNew);
CORE_API bool wstrReplaceSubstrSA(CWString &wstr, const unsigned short *wstrOld,
                                  const unsigned short *wstrNew);
CORE_API bool wstrRemoveHead(CWString &wstr, const unsigned short *wstrHead);
CORE_API bool wstrRemoveHeadS(CWString &wstr, const unsigned short *wstrHead);
CORE_API bool wstrRemoveTail(CWString &wstr, const unsigned short *wstrTail);
CORE_API bool wstrRemoveTailS(CWString &wstr, const unsigned short *wstrTail);
CORE_API void wstrTrimSpacesLeft(CWString &wstr);
CORE_API void wstrTrimSpacesRight(CWString &wstr);
CORE_API void wstrTrimSpaces(CWString &wstr);
CORE_API CWString wstrToLower(const unsigned short *wstr);
CORE_API CWString wstrToUpper(const unsigned short *wstr);
CORE_API CWString wstrToValidChar(const unsigned short *wstr);
CORE_API CWString wstrReverse(const unsigned short *wstr);
CORE_API CWString wstrConcat(const unsigned short *wstrA, const unsigned short *wstrB);
CORE_API CWString wstrFromPsz(const unsigned short *wstr);
CORE_API CWString wstrFromChar(unsigned short wch);
CORE_API CWString wstrFromIndex(int i);
CORE_API CWString wstrFromFloat(float f);
CORE_API CWString wstrFromObjPtr(const void *pv);
CORE_API CWString wstrUndecorated(const unsigned short *wstr);
CORE_API int wstrLengthUndecorated(const unsigned short *wstr);

} // namespace QuennelEngine
