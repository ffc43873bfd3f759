#pragma once
// Private to Core: what the formatter and the scanner share. The argument list is read through
// CArgList, which walks a va_list or an array of words alike, 32 bits at a time, and keeps the
// arguments it decoded so that repeated or reordered placeholders don't walk from the start again.
// It reads only as far as the highest placeholder asks and never past the first word that is not
// a tag: a raw variadic call has nothing after its last argument that could be read safely.
#include "core/text/Formatter.h"
#include "core/text/TextPrivate.h"

#include <stdarg.h>
#include <string.h>

namespace QuennelEngine {
namespace Format {

static_assert(sizeof(void *) == 4 && sizeof(unsigned int) == 4,
              "the argument list is made of 32-bit words that also hold pointers");
static_assert(sizeof(va_list) == sizeof(void *),
              "a va_list is walked as the address of the variadic words");

// Placeholders above this are invalid, so a long run of digits cannot overflow the index.
const int MAX_PLACEHOLDER = 1000;
// Widths and precisions above this make a format specification invalid (they could not be
// honoured).
const int MAX_SPEC_NUMBER = 0xFFFF;

enum ArgType {
  AT_CHAR = 1,
  AT_WCHAR = 2,
  AT_INT = 3,
  AT_UINT = 4,
  AT_INT64 = 5,
  AT_UINT64 = 6,
  AT_FLOAT = 7,
  AT_TEXT = 9,
  AT_WTEXT = 10,
  AT_POINTER = 11,
};

// One decoded argument.
struct Arg {
  unsigned int ulTag;
  const char *strSpec;         // null without FMT_WITH_SPEC
  unsigned long long ullValue; // the value words (zero-extended), or the pointer when by pointer
};

inline int ArgTypeOf(unsigned int ulTag)
{
  return (int)(ulTag & FMT_TYPE_MASK);
}

inline void *ArgPointer(const Arg &arg)
{
  return (void *)(size_t)(unsigned int)arg.ullValue;
}

// Value words after the tag; 0 for a type whose size is unknown, which cannot be stepped over.
inline int ArgValueWords(unsigned int ulTag)
{
  if (ulTag & FMT_BY_POINTER) return 1;
  switch (ArgTypeOf(ulTag)) {
  case AT_CHAR:
  case AT_WCHAR:
  case AT_INT:
  case AT_UINT:
  case AT_TEXT:
  case AT_WTEXT:
  case AT_POINTER:
    return 1;
  case AT_INT64:
  case AT_UINT64:
  case AT_FLOAT:
    return 2;
  default:
    return 0;
  }
}

class CArgList {
public:
  explicit CArgList(va_list va) : al_curNext(reinterpret_cast<const unsigned int *>(va)) {}
  explicit CArgList(const unsigned int *pulWords) : al_curNext(pulWords) {}
  CArgList(const CArgList &) = delete;
  CArgList &operator=(const CArgList &) = delete;

  // Argument `iArg` (from 1); false if the list ends before it.
  bool Get(int iArg, Arg &arg)
  {
    if (QE_LIKELY(iArg >= 1 && iArg <= al_ctCached)) {
      arg = al_aCache[iArg - 1];
      return true;
    }
    // The next argument in order, as placeholders mostly come: decoded here, without the call.
    if (QE_LIKELY(iArg == al_ctCached + 1 && iArg < al_iEnd && al_ctCached < CT_CACHE)) {
      Arg &argNew = al_aCache[al_ctCached];
      if (QE_UNLIKELY(!ReadArg(al_curNext, argNew))) {
        al_iEnd = iArg;
        return false;
      }
      al_ctCached = iArg;
      arg = argNew;
      return true;
    }
    return Read(iArg, arg);
  }

private:
  // Get for an argument not cached yet.
  QE_NOINLINE bool Read(int iArg, Arg &arg)
  {
    if (iArg < 1 || iArg >= al_iEnd) return false;
    while (al_ctCached < iArg && al_ctCached < CT_CACHE) {
      if (!ReadArg(al_curNext, al_aCache[al_ctCached])) {
        al_iEnd = al_ctCached + 1;
        return false;
      }
      al_ctCached++;
    }
    if (iArg <= al_ctCached) {
      arg = al_aCache[iArg - 1];
      return true;
    }
    // Beyond the cache: walk on from the first argument it does not hold.
    CCursor cur(al_curNext);
    for (int i = al_ctCached + 1; i <= iArg; i++) {
      if (!ReadArg(cur, arg)) {
        al_iEnd = i;
        return false;
      }
    }
    return true;
  }

  // A position in the words. On this target a va_list is the address of the first variadic
  // word on the stack, each argument in whole 32-bit words, so both sources walk as one pointer.
  class CCursor {
  public:
    explicit CCursor(const unsigned int *pul) : cur_pulWord(pul) {}
    unsigned int Next() { return *cur_pulWord++; }

  private:
    const unsigned int *cur_pulWord;
  };

  // Decodes the argument at the cursor; false (having read only the tag) if it is not one.
  static bool ReadArg(CCursor &cur, Arg &arg)
  {
    unsigned int ulTag = cur.Next();
    if ((ulTag & FMT_MARKER_MASK) != FMT_MARKER) return false;
    int ctWords = ArgValueWords(ulTag);
    if (ctWords == 0) return false;
    arg.ulTag = ulTag;
    unsigned int aulValue[2] = {cur.Next(), 0};
    if (ctWords == 2) aulValue[1] = cur.Next();
    // Low word first, as a 64-bit value or a double lies in memory.
    memcpy(&arg.ullValue, aulValue, sizeof(arg.ullValue));
    arg.strSpec = (ulTag & FMT_WITH_SPEC) ? (const char *)(size_t)cur.Next() : nullptr;
    return true;
  }

  static const int CT_CACHE = 16;
  CCursor al_curNext;       // after the last cached argument
  int al_ctCached = 0;      // arguments decoded into the cache
  int al_iEnd = 0x7FFFFFFF; // the first argument known not to be there
  Arg al_aCache[CT_CACHE];
};

// A parsed format specification ("04X", ".2f", "q").
struct Spec {
  unsigned long ulFlags = 0;
  int iWidth = -1;     // -1 when absent
  int iPrecision = -1; // -1 when absent
};

inline bool IsDigit(unsigned int c)
{
  return c - '0' <= 9u;
}

// Parses a format specification (null is the empty one); false if it is invalid.
inline bool ParseSpec(const char *strSpec, Spec &spec)
{
  spec = Spec();
  if (strSpec == nullptr) return true;
  const char *pch = strSpec;
  unsigned long ulFlags = 0;
  for (;; pch++) {
    switch (*pch) {
    case '-':
      ulFlags |= FMTF_LEFT;
      continue;
    case '+':
      ulFlags |= FMTF_PLUS;
      continue;
    case ' ':
      ulFlags |= FMTF_BLANK;
      continue;
    case '0':
      ulFlags |= FMTF_ZERO;
      continue;
    case '#':
      ulFlags |= FMTF_PREFIX;
      continue;
    }
    break;
  }
  int iWidth = 0;
  for (; IsDigit((unsigned char)*pch); pch++) {
    iWidth = iWidth * 10 + (*pch - '0');
    if (iWidth > MAX_SPEC_NUMBER) return false;
  }
  if (iWidth > 0) {
    ulFlags |= FMTF_WIDTH;
    spec.iWidth = iWidth;
  }
  if (*pch == '.') {
    pch++;
    int iPrecision = 0;
    for (; IsDigit((unsigned char)*pch); pch++) {
      iPrecision = iPrecision * 10 + (*pch - '0');
      if (iPrecision > MAX_SPEC_NUMBER) return false;
    }
    ulFlags |= FMTF_PRECISION;
    spec.iPrecision = iPrecision;
  }
  switch (*pch) {
  case 'x':
    ulFlags |= FMTF_HEX_LOWER;
    pch++;
    break;
  case 'X':
    ulFlags |= FMTF_HEX_UPPER;
    pch++;
    break;
  case 'q':
    ulFlags |= FMTF_QUOTED;
    pch++;
    break;
  case 'e':
    ulFlags |= FMTF_EXP_LOWER;
    pch++;
    break;
  case 'E':
    ulFlags |= FMTF_EXP_UPPER;
    pch++;
    break;
  case 'f':
    ulFlags |= FMTF_FIXED;
    pch++;
    break;
  }
  if (*pch != 0) return false;
  if ((ulFlags & FMTF_PREFIX) && !(ulFlags & (FMTF_HEX_LOWER | FMTF_HEX_UPPER))) return false;
  spec.ulFlags = ulFlags;
  return true;
}

// Reads the digits of a placeholder index (`pch` is on the first digit) and moves past all of
// them; 0 (invalid) for an index above MAX_PLACEHOLDER.
template <class CH> inline int ReadPlaceholder(const CH *&pch)
{
  int i = 0;
  for (; IsDigit(*pch); pch++) {
    if (i <= MAX_PLACEHOLDER) i = i * 10 + (*pch - '0');
  }
  return i > MAX_PLACEHOLDER ? 0 : i;
}

// A character of one width as the other: through the character converters across widths.
template <class TO> inline TO ConvertChar(char c);
template <> inline char ConvertChar<char>(char c)
{
  return c;
}
template <> inline unsigned short ConvertChar<unsigned short>(char c)
{
  return chASCIIToUTF16(c);
}
template <class TO> inline TO ConvertChar(unsigned short c);
template <> inline char ConvertChar<char>(unsigned short c)
{
  return wchUTF16ToASCII(c);
}
template <> inline unsigned short ConvertChar<unsigned short>(unsigned short c)
{
  return c;
}

// Copies a short run of characters. The C runtime's memcpy and strlen live in another DLL, and a
// call there costs more than the runs a message is made of; GCC keeps this loop inline.
template <class CH> inline void CopyChars(CH *pchDst, const CH *pchSrc, int ct)
{
  for (int i = 0; i < ct; i++) pchDst[i] = pchSrc[i];
}

// 8-bit runs go a word at a time. Where GCC can see that a loop copies bytes it makes the loop a
// call of memcpy after all, so the count goes through an empty asm it cannot look into, and the
// last three bytes are moved without a loop.
template <> inline void CopyChars<char>(char *pchDst, const char *pchSrc, int ct)
{
  int i = 0;
  for (; i + 4 <= ct; i += 4) {
    __builtin_memcpy(pchDst + i, pchSrc + i, 4); // one move of a word
    __asm__("" : "+r"(i));
  }
  if (i + 2 <= ct) {
    __builtin_memcpy(pchDst + i, pchSrc + i, 2);
    i += 2;
  }
  if (i < ct) pchDst[i] = pchSrc[i];
}

// Characters before the terminator, at most `ctMax`. The bound also keeps GCC from turning the
// loop into a call of strlen.
template <class CH> inline int TextLengthUpTo(const CH *pch, int ctMax)
{
  int ct = 0;
  while (ct < ctMax && pch[ct] != 0) ct++;
  return ct;
}

template <class CH> inline bool IsSpace(CH c)
{
  return (TextTraits<CH>::Class(c) & CHC_SPACE) != 0;
}

} // namespace Format
} // namespace QuennelEngine
