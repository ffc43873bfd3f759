#include "core/text/Search.h"

#include "core/frame/CodeGuard.h"
#include "core/text/TextPrivate.h"

namespace QuennelEngine {

// A missing text is a contract violation: nothing is found in it.
template <class CH> static inline bool Missing(const CH *p)
{
  if (QE_LIKELY(p != nullptr)) return false;
  corLogGuardBreach();
  return true;
}

template <class CH, bool bCaseSensitive, bool bBackward> static int FindChar(const CH *p, CH ch)
{
  if (Missing(p) || ch == 0) return -1;
  typedef Folding<CH, bCaseSensitive> F;
  const CH chFolded = F::Fold(ch);
  if (bBackward) {
    int iFound = -1;
    for (int i = 0; p[i] != 0; i++) {
      if (F::Fold(p[i]) == chFolded) iFound = i;
    }
    return iFound;
  }
  if (sizeof(CH) == 1 && bCaseSensitive) {
    const char *pchHit = strchr((const char *)p, (char)ch);
    return pchHit ? (int)(pchHit - (const char *)p) : -1;
  }
  for (int i = 0; p[i] != 0; i++) {
    if (F::Fold(p[i]) == chFolded) return i;
  }
  return -1;
}

template <class CH, bool bCaseSensitive>
static inline bool SameAt(const CH *p, const CH *pSub, int ct)
{
  typedef Folding<CH, bCaseSensitive> F;
  for (int i = 0; i < ct; i++) {
    if (F::Fold(p[i]) != F::Fold(pSub[i])) return false;
  }
  return true;
}

template <class CH, bool bCaseSensitive, bool bBackward>
static int FindSubstr(const CH *p, const CH *pSub)
{
  if (Missing(p) || Missing(pSub) || *pSub == 0 || *p == 0) return -1;
  if (sizeof(CH) == 1 && bCaseSensitive && !bBackward) {
    const char *pchHit = strstr((const char *)p, (const char *)pSub);
    return pchHit ? (int)(pchHit - (const char *)p) : -1;
  }
  typedef Folding<CH, bCaseSensitive> F;
  const int ctSub = TextLength(pSub);
  const CH chFirst = F::Fold(pSub[0]);
  if (bBackward) {
    int ct = TextLength(p);
    for (int i = ct - ctSub; i >= 0; i--) {
      if (F::Fold(p[i]) == chFirst && SameAt<CH, bCaseSensitive>(p + i + 1, pSub + 1, ctSub - 1)) {
        return i;
      }
    }
    return -1;
  }
  // Forward: compare only where the first character matches; stop when the rest cannot fit.
  for (int i = 0; p[i] != 0; i++) {
    if (F::Fold(p[i]) != chFirst) continue;
    int j = 1;
    while (j < ctSub && p[i + j] != 0 && F::Fold(p[i + j]) == F::Fold(pSub[j])) j++;
    if (j == ctSub) return i;
    if (p[i + j] == 0) return -1;
  }
  return -1;
}

// Membership in a set of characters. 8-bit sets become a bit table; 16-bit sets are searched.
template <class CH, bool bCaseSensitive> class CharSet;

template <bool bCaseSensitive> class CharSet<char, bCaseSensitive> {
public:
  explicit CharSet(const char *pSet) : cs_aulBits()
  {
    for (; *pSet != 0; pSet++) {
      unsigned char c = (unsigned char)Folding<char, bCaseSensitive>::Fold(*pSet);
      cs_aulBits[c >> 5] |= 1UL << (c & 31);
    }
  }
  bool Has(char ch) const
  {
    unsigned char c = (unsigned char)Folding<char, bCaseSensitive>::Fold(ch);
    return (cs_aulBits[c >> 5] >> (c & 31)) & 1;
  }

private:
  unsigned long cs_aulBits[8];
};

template <bool bCaseSensitive> class CharSet<unsigned short, bCaseSensitive> {
public:
  explicit CharSet(const unsigned short *pSet) : cs_pSet(pSet) {}
  bool Has(unsigned short ch) const
  {
    typedef Folding<unsigned short, bCaseSensitive> F;
    unsigned short chFolded = F::Fold(ch);
    for (const unsigned short *p = cs_pSet; *p != 0; p++) {
      if (F::Fold(*p) == chFolded) return true;
    }
    return false;
  }

private:
  const unsigned short *cs_pSet;
};

template <class CH, bool bCaseSensitive, bool bBackward, bool bInSet>
static int FindSet(const CH *p, const CH *pSet)
{
  if (Missing(p) || Missing(pSet)) return -1;
  CharSet<CH, bCaseSensitive> set(pSet);
  int iFound = -1;
  for (int i = 0; p[i] != 0; i++) {
    if (set.Has(p[i]) == bInSet) {
      if (!bBackward) return i;
      iFound = i;
    }
  }
  return iFound;
}

// The eight functions of one search: str and wstr, each plain, S, B and SB.
#define QE_SEARCH_FAMILY(NAME, IMPL, T8, T16)                                                      \
  int str##NAME(const char *str, T8 x)                                                             \
  {                                                                                                \
    return IMPL<char, false, false>(str, x);                                                       \
  }                                                                                                \
  int str##NAME##S(const char *str, T8 x)                                                          \
  {                                                                                                \
    return IMPL<char, true, false>(str, x);                                                        \
  }                                                                                                \
  int str##NAME##B(const char *str, T8 x)                                                          \
  {                                                                                                \
    return IMPL<char, false, true>(str, x);                                                        \
  }                                                                                                \
  int str##NAME##SB(const char *str, T8 x)                                                         \
  {                                                                                                \
    return IMPL<char, true, true>(str, x);                                                         \
  }                                                                                                \
  int wstr##NAME(const unsigned short *wstr, T16 x)                                                \
  {                                                                                                \
    return IMPL<unsigned short, false, false>(wstr, x);                                            \
  }                                                                                                \
  int wstr##NAME##S(const unsigned short *wstr, T16 x)                                             \
  {                                                                                                \
    return IMPL<unsigned short, true, false>(wstr, x);                                             \
  }                                                                                                \
  int wstr##NAME##B(const unsigned short *wstr, T16 x)                                             \
  {                                                                                                \
    return IMPL<unsigned short, false, true>(wstr, x);                                             \
  }                                                                                                \
  int wstr##NAME##SB(const unsigned short *wstr, T16 x)                                            \
  {                                                                                                \
    return IMPL<unsigned short, true, true>(wstr, x);                                              \
  }

template <class CH, bool S, bool B> static int FindInSet(const CH *p, const CH *pSet)
{
  return FindSet<CH, S, B, true>(p, pSet);
}
template <class CH, bool S, bool B> static int FindNotInSet(const CH *p, const CH *pSet)
{
  return FindSet<CH, S, B, false>(p, pSet);
}

QE_SEARCH_FAMILY(FindChar, FindChar, char, unsigned short)
QE_SEARCH_FAMILY(FindSubstr, FindSubstr, const char *, const unsigned short *)
QE_SEARCH_FAMILY(FindFromSet, FindInSet, const char *, const unsigned short *)
QE_SEARCH_FAMILY(FindNotFromSet, FindNotInSet, const char *, const unsigned short *)

template <class CH> static const CH *AtOffset(const CH *p, int i)
{
  if (Missing(p)) return nullptr;
  const CH *pEnd = p;
  for (int j = 0; j < i && *pEnd != 0; j++) pEnd++;
  return pEnd;
}

char strGetChar(const char *str, int i)
{
  return i < 0 || str == nullptr ? 0 : *AtOffset(str, i);
}
unsigned short wstrGetChar(const unsigned short *wstr, int i)
{
  return i < 0 || wstr == nullptr ? 0 : *AtOffset(wstr, i);
}
const char *strGetAtOffset(const char *str, int i)
{
  return AtOffset(str, i);
}
const unsigned short *strGetAtOffset(const unsigned short *wstr, int i)
{
  return AtOffset(wstr, i);
}

} // namespace QuennelEngine
