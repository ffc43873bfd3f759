#include "core/text/Compare.h"

#include "core/frame/CodeGuard.h"
#include "core/memory/Memory.h"
#include "core/text/TextPrivate.h"

namespace QuennelEngine {

// A missing text is a contract violation; it compares as the empty text.
template <class CH> static inline const CH *Checked(const CH *p)
{
  static const CH chEmpty = 0;
  if (QE_LIKELY(p != nullptr)) return p;
  corLogGuardBreach();
  return &chEmpty;
}

// The collation table. A replaced table is kept, not freed, so a comparison running on another
// thread while a new table is loaded never reads freed memory; tables are loaded rarely.
struct Collation {
  const unsigned short *pwchTable;
  int ctLength;
};
static Collation *volatile _pCollation = nullptr;

void wstrSetCollation(const unsigned short *wstrTable)
{
  int ct = TextLength(wstrTable);
  Collation *pNew = nullptr;
  if (ct > 0) {
    unsigned short *pwch = (unsigned short *)memMAlloc(ct * sizeof(unsigned short));
    memcpy(pwch, wstrTable, ct * sizeof(unsigned short));
    pNew = (Collation *)memMAlloc(sizeof(Collation));
    pNew->pwchTable = pwch;
    pNew->ctLength = ct;
  }
  __atomic_store_n(&_pCollation, pNew, __ATOMIC_RELEASE);
}

static inline unsigned Collate(const Collation *pCollation, unsigned short c)
{
  if (pCollation != nullptr && c >= 1 && c < pCollation->ctLength) {
    return pCollation->pwchTable[c - 1];
  }
  return c;
}

template <bool bCaseSensitive> static int CompareText(const char *pa, const char *pb)
{
  pa = Checked(pa);
  pb = Checked(pb);
  for (;; pa++, pb++) {
    // Equal texts, the usual case of a look-up, need no folding.
    if (*pa == *pb) {
      if (*pa == 0) return 0;
      continue;
    }
    signed char ca = (signed char)Folding<char, bCaseSensitive>::Fold(*pa);
    signed char cb = (signed char)Folding<char, bCaseSensitive>::Fold(*pb);
    if (ca != cb) return ca > cb ? 1 : -1;
    if (ca == 0) return 0;
  }
}

template <bool bCaseSensitive>
static int CompareText(const unsigned short *pa, const unsigned short *pb)
{
  pa = Checked(pa);
  pb = Checked(pb);
  const Collation *pCollation = __atomic_load_n(&_pCollation, __ATOMIC_ACQUIRE);
  for (;; pa++, pb++) {
    unsigned ka = Collate(pCollation, Folding<unsigned short, bCaseSensitive>::Fold(*pa));
    unsigned kb = Collate(pCollation, Folding<unsigned short, bCaseSensitive>::Fold(*pb));
    if (ka != kb) return ka > kb ? 1 : -1;
    // Equal keys at an end: the text that ended is the smaller one.
    if (*pa == 0 || *pb == 0) return *pa == *pb ? 0 : (*pa == 0 ? -1 : 1);
  }
}

// The comparison key of one character for heads and tails: 8-bit text compares signed.
template <class CH, bool bCaseSensitive> static inline long Key(CH c)
{
  return (long)(typename TextTraits<CH>::Signed)Folding<CH, bCaseSensitive>::Fold(c);
}

template <class CH, bool bCaseSensitive> static int CompareHead(const CH *p, const CH *pHead)
{
  p = Checked(p);
  pHead = Checked(pHead);
  for (;; p++, pHead++) {
    if (*pHead == 0) return 0;
    if (*p == 0) return -1;
    long ka = Key<CH, bCaseSensitive>(*p);
    long kb = Key<CH, bCaseSensitive>(*pHead);
    if (ka != kb) return ka > kb ? 1 : -1;
  }
}

template <class CH, bool bCaseSensitive> static int CompareTail(const CH *p, const CH *pTail)
{
  p = Checked(p);
  pTail = Checked(pTail);
  int ct = TextLength(p);
  int ctTail = TextLength(pTail);
  if (ct < ctTail) return -1;
  return CompareHead<CH, bCaseSensitive>(p + ct - ctTail, pTail);
}

int strCompare(const char *strA, const char *strB)
{
  return CompareText<false>(strA, strB);
}
int strCompareS(const char *strA, const char *strB)
{
  return CompareText<true>(strA, strB);
}
int wstrCompare(const unsigned short *wstrA, const unsigned short *wstrB)
{
  return CompareText<false>(wstrA, wstrB);
}
int wstrCompareS(const unsigned short *wstrA, const unsigned short *wstrB)
{
  return CompareText<true>(wstrA, wstrB);
}

int strCompareHead(const char *str, const char *strHead)
{
  return CompareHead<char, false>(str, strHead);
}
int strCompareHeadS(const char *str, const char *strHead)
{
  return CompareHead<char, true>(str, strHead);
}
int wstrCompareHead(const unsigned short *wstr, const unsigned short *wstrHead)
{
  return CompareHead<unsigned short, false>(wstr, wstrHead);
}
int wstrCompareHeadS(const unsigned short *wstr, const unsigned short *wstrHead)
{
  return CompareHead<unsigned short, true>(wstr, wstrHead);
}
int strCompareTail(const char *str, const char *strTail)
{
  return CompareTail<char, false>(str, strTail);
}
int strCompareTailS(const char *str, const char *strTail)
{
  return CompareTail<char, true>(str, strTail);
}
int wstrCompareTail(const unsigned short *wstr, const unsigned short *wstrTail)
{
  return CompareTail<unsigned short, false>(wstr, wstrTail);
}
int wstrCompareTailS(const unsigned short *wstr, const unsigned short *wstrTail)
{
  return CompareTail<unsigned short, true>(wstr, wstrTail);
}

bool strHasHead(const char *str, const char *strHead)
{
  return strCompareHead(str, strHead) == 0;
}
bool strHasHeadS(const char *str, const char *strHead)
{
  return strCompareHeadS(str, strHead) == 0;
}
bool strHasTail(const char *str, const char *strTail)
{
  return strCompareTail(str, strTail) == 0;
}
bool strHasTailS(const char *str, const char *strTail)
{
  return strCompareTailS(str, strTail) == 0;
}
bool wstrHasHead(const unsigned short *wstr, const unsigned short *wstrHead)
{
  return wstrCompareHead(wstr, wstrHead) == 0;
}
bool wstrHasHeadS(const unsigned short *wstr, const unsigned short *wstrHead)
{
  return wstrCompareHeadS(wstr, wstrHead) == 0;
}
bool wstrHasTail(const unsigned short *wstr, const unsigned short *wstrTail)
{
  return wstrCompareTail(wstr, wstrTail) == 0;
}
bool wstrHasTailS(const unsigned short *wstr, const unsigned short *wstrTail)
{
  return wstrCompareTailS(wstr, wstrTail) == 0;
}

bool operator==(const CString &strA, const CString &strB)
{
  return strCompare(strA, strB) == 0;
}
bool operator==(const CString &strA, const char *strB)
{
  return strCompare(strA, strB) == 0;
}
bool operator==(const char *strA, const CString &strB)
{
  return strCompare(strA, strB) == 0;
}
bool operator!=(const CString &strA, const CString &strB)
{
  return strCompare(strA, strB) != 0;
}
bool operator!=(const CString &strA, const char *strB)
{
  return strCompare(strA, strB) != 0;
}
bool operator!=(const char *strA, const CString &strB)
{
  return strCompare(strA, strB) != 0;
}
bool operator==(const CWString &wstrA, const CWString &wstrB)
{
  return wstrCompare(wstrA, wstrB) == 0;
}
bool operator==(const CWString &wstrA, const unsigned short *wstrB)
{
  return wstrCompare(wstrA, wstrB) == 0;
}
bool operator==(const unsigned short *wstrA, const CWString &wstrB)
{
  return wstrCompare(wstrA, wstrB) == 0;
}
bool operator!=(const CWString &wstrA, const CWString &wstrB)
{
  return wstrCompare(wstrA, wstrB) != 0;
}
bool operator!=(const CWString &wstrA, const unsigned short *wstrB)
{
  return wstrCompare(wstrA, wstrB) != 0;
}
bool operator!=(const unsigned short *wstrA, const CWString &wstrB)
{
  return wstrCompare(wstrA, wstrB) != 0;
}

} // namespace QuennelEngine
