#include "core/text/Matching.h"

#include "core/frame/CodeGuard.h"
#include "core/text/TextPrivate.h"

namespace QuennelEngine {

static const int _ctMaxMatchSteps = 200;

template <class CH, bool bCaseSensitive> static bool Matches(const CH *pText, const CH *pPattern)
{
  if (pText == nullptr || pPattern == nullptr) {
    corLogGuardBreach();
    return false;
  }
  typedef Folding<CH, bCaseSensitive> F;
  const CH *pt = pText;
  const CH *pp = pPattern;
  // The one backtrack point: the pattern after the last star and the text position it was met at.
  const CH *ppAfterStar = nullptr;
  const CH *ptAtStar = nullptr;

  for (int ctSteps = 1;; ctSteps++) {
    if (ctSteps > _ctMaxMatchSteps) return false;

    if (*pt == 0) {
      // The text is used up: only stars may remain.
      while (*pp == '*') pp++;
      return *pp == 0;
    }

    if (*pp == 0) {
      // The pattern is used up first: trailing '?' have each taken a character, so a star before
      // them (not escaped, not the pattern's first character) absorbs the rest of the text.
      const CH *pq = pp;
      while (pq > pPattern && pq[-1] == '?') pq--;
      if (pq - 1 > pPattern && pq[-1] == '*' && pq[-2] != '\\') return true;
    } else if (*pp == '*') {
      while (*pp == '*') pp++;
      ppAfterStar = pp;
      ptAtStar = pt;
      continue;
    } else if (*pp == '\\' && (pp[1] == '*' || pp[1] == '?')) {
      if (F::Fold(*pt) == F::Fold(pp[1])) {
        pt++;
        pp += 2;
        continue;
      }
    } else if (*pp == '?' || F::Fold(*pp) == F::Fold(*pt)) {
      pt++;
      pp++;
      continue;
    }

    // A mismatch: retry after the last star one character further on, or fail.
    if (ppAfterStar == nullptr) return false;
    pp = ppAfterStar;
    pt = ++ptAtStar;
  }
}

bool strMatches(const char *strText, const char *strPattern)
{
  return Matches<char, false>(strText, strPattern);
}
bool strMatchesS(const char *strText, const char *strPattern)
{
  return Matches<char, true>(strText, strPattern);
}
bool wstrMatches(const unsigned short *wstrText, const unsigned short *wstrPattern)
{
  return Matches<unsigned short, false>(wstrText, wstrPattern);
}
bool wstrMatchesS(const unsigned short *wstrText, const unsigned short *wstrPattern)
{
  return Matches<unsigned short, true>(wstrText, wstrPattern);
}

} // namespace QuennelEngine
