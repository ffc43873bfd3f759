#include "core/text/Editing.h"

#include "core/frame/CodeGuard.h"
#include "core/text/Compare.h"
#include "core/text/FormatArgs.h"
#include "core/text/Search.h"
#include "core/text/TextPrivate.h"

namespace QuennelEngine {

namespace {

// Everything here is written once over the character type; the exported functions below only
// name the instances.
template <class CH> struct Edit {
  typedef TextTraits<CH> T;
  typedef typename T::String String;

  // Null text is a contract violation and reads as the empty text.
  static const CH *Text(const CH *p)
  {
    static const CH chEmpty = 0;
    if (QE_LIKELY(p != nullptr)) return p;
    corLogGuardBreach();
    return &chEmpty;
  }

  static void Clamp(int ct, int &i, int &ctCount)
  {
    if (i < 0) i = 0;
    if (i > ct) i = ct;
    if (ctCount < 0) ctCount = 0;
    if (ctCount > ct - i) ctCount = ct - i;
  }

  // A new text: `pA` (ctA characters), then `pB`, then `pC`.
  static CH *Join(const CH *pA, int ctA, const CH *pB, int ctB, const CH *pC, int ctC)
  {
    CH *p = T::Alloc(ctA + ctB + ctC);
    if (ctA > 0) memcpy(p, pA, ctA * sizeof(CH));
    if (ctB > 0) memcpy(p + ctA, pB, ctB * sizeof(CH));
    if (ctC > 0) memcpy(p + ctA + ctB, pC, ctC * sizeof(CH));
    return p;
  }

  static void SetChar(String &s, int i, CH ch)
  {
    CH *&p = T::Buffer(s);
    if (i >= 0 && i < TextLength(p)) p[i] = ch;
  }

  static void SetSubstr(String &s, int i, const CH *pText)
  {
    pText = Text(pText);
    const CH *p = T::Buffer(s);
    int ct = TextLength(p);
    int ctText = TextLength(pText);
    int ctRest = 0;
    Clamp(ct, i, ctRest);
    int ctAfter = ct - i - ctText;
    if (ctAfter < 0) ctAfter = 0;
    // Built anew, so a `pText` that lies inside the string stays valid while it is copied.
    TextBuffer::Take(T::Buffer(s), Join(p, i, pText, ctText, p + ct - ctAfter, ctAfter));
  }

  static void InsertSubstr(String &s, int i, const CH *pText)
  {
    pText = Text(pText);
    const CH *p = T::Buffer(s);
    int ct = TextLength(p);
    int ctNone = 0;
    Clamp(ct, i, ctNone);
    TextBuffer::Take(T::Buffer(s), Join(p, i, pText, TextLength(pText), p + i, ct - i));
  }

  static void InsertChar(String &s, int i, CH ch)
  {
    if (ch == 0) {
      corLogGuardBreach();
      return;
    }
    CH ach[2] = {ch, 0};
    InsertSubstr(s, i, ach);
  }

  static void DeleteSubstr(String &s, int i, int ctCount)
  {
    CH *&p = T::Buffer(s);
    int ct = TextLength(p);
    Clamp(ct, i, ctCount);
    if (ctCount == 0) return;
    memmove(p + i, p + i + ctCount, (ct - i - ctCount) * sizeof(CH));
    p = T::Resize(p, ct - ctCount);
  }

  static void DeleteChar(String &s, int i)
  {
    if (i >= 0) DeleteSubstr(s, i, 1);
  }

  static void DeleteTail(String &s, int ctCount)
  {
    int ct = TextLength(T::Buffer(s));
    if (ctCount > ct) ctCount = ct;
    if (ctCount > 0) DeleteSubstr(s, ct - ctCount, ctCount);
  }

  static String GetSubstr(const CH *p, int i, int ctCount)
  {
    p = Text(p);
    Clamp(TextLength(p), i, ctCount);
    return Adopt(TextBuffer::CopyOf(p + i, ctCount));
  }

  static String GetTail(const CH *p, int ctCount)
  {
    p = Text(p);
    int ct = TextLength(p);
    if (ctCount > ct) ctCount = ct;
    if (ctCount < 0) ctCount = 0;
    return Adopt(TextBuffer::CopyOf(p + ct - ctCount, ctCount));
  }

  static String ExtractSubstr(String &s, int i, int ctCount)
  {
    String sPart = GetSubstr(T::Buffer(s), i, ctCount);
    DeleteSubstr(s, i, ctCount);
    return sPart;
  }

  static String ExtractTail(String &s, int ctCount)
  {
    String sPart = GetTail(T::Buffer(s), ctCount);
    DeleteTail(s, ctCount);
    return sPart;
  }

  static String ExtractFirstLine(String &s)
  {
    CH *&p = T::Buffer(s);
    int iLineFeed = -1;
    for (int i = 0; p[i] != 0; i++) {
      if (p[i] == '\n') {
        iLineFeed = i;
        break;
      }
    }
    if (iLineFeed < 0) {
      String sLine = Adopt(p);
      p = T::Alloc(0);
      return sLine;
    }
    String sLine = GetSubstr(p, 0, iLineFeed);
    DeleteSubstr(s, 0, iLineFeed + 1);
    return sLine;
  }

  static void Split(const CH *p, int i, String &sHead, String &sTail)
  {
    p = Text(p);
    int ct = TextLength(p);
    int ctNone = 0;
    Clamp(ct, i, ctNone);
    // Both parts are made before either is stored: `p` may be the text of sHead or sTail.
    CH *pHead = TextBuffer::CopyOf(p, i);
    CH *pTail = TextBuffer::CopyOf(p + i, ct - i);
    TextBuffer::Take(T::Buffer(sHead), pHead);
    TextBuffer::Take(T::Buffer(sTail), pTail);
  }

  // The position of `pOld` in `p` from `iFrom` on (forward) or the last one (backward).
  template <bool bCaseSensitive> static int FindFrom(const CH *p, int iFrom, const CH *pOld)
  {
    int ctOld = TextLength(pOld);
    typedef Folding<CH, bCaseSensitive> F;
    for (int i = iFrom; p[i] != 0; i++) {
      int j = 0;
      while (j < ctOld && p[i + j] != 0 && F::Fold(p[i + j]) == F::Fold(pOld[j])) j++;
      if (j == ctOld) return i;
      if (p[i + j] == 0) return -1;
    }
    return -1;
  }

  template <bool bCaseSensitive, bool bBackward, bool bAll>
  static bool Replace(String &s, const CH *pOld, const CH *pNew)
  {
    pOld = Text(pOld);
    pNew = Text(pNew);
    const int ctOld = TextLength(pOld);
    const int ctNew = TextLength(pNew);
    if (ctOld == 0) return false;
    if (bAll && !bBackward) return ReplaceAll<bCaseSensitive>(s, pOld, ctOld, pNew, ctNew);
    bool bReplaced = false;
    int iFrom = 0;
    for (;;) {
      const CH *p = T::Buffer(s);
      int i =
          bBackward ? LastOf<bCaseSensitive>(p, pOld) : FindFrom<bCaseSensitive>(p, iFrom, pOld);
      if (i < 0) break;
      int ct = TextLength(p);
      TextBuffer::Take(T::Buffer(s), Join(p, i, pNew, ctNew, p + i + ctOld, ct - i - ctOld));
      bReplaced = true;
      // Go on after the inserted text, so a replacement that contains the old text ends.
      iFrom = i + ctNew;
      if (!bAll) break;
    }
    return bReplaced;
  }

  // Every occurrence from left to right, the text rebuilt once: rebuilding it for each one would
  // cost time quadratic in their number. Matches do not overlap, as when searching on after each
  // inserted text.
  template <bool bCaseSensitive>
  static bool ReplaceAll(String &s, const CH *pOld, int ctOld, const CH *pNew, int ctNew)
  {
    const CH *p = T::Buffer(s);
    const int ct = TextLength(p);
    long long llLength = ct;
    int ctFound = 0;
    for (int i = FindFrom<bCaseSensitive>(p, 0, pOld); i >= 0;
         i = FindFrom<bCaseSensitive>(p, i + ctOld, pOld)) {
      ctFound++;
      llLength += ctNew - ctOld;
    }
    if (ctFound == 0) return false;
    if (llLength > 0x7FFFFFF0LL / (long long)sizeof(CH)) {
      corLogGuardBreach(); // the result could not be a text
      return false;
    }
    CH *pResult = T::Alloc((int)llLength);
    CH *pOut = pResult;
    int iCopied = 0;
    for (int i = FindFrom<bCaseSensitive>(p, 0, pOld); i >= 0;
         i = FindFrom<bCaseSensitive>(p, i + ctOld, pOld)) {
      if (i > iCopied) memcpy(pOut, p + iCopied, (i - iCopied) * sizeof(CH));
      pOut += i - iCopied;
      if (ctNew > 0) memcpy(pOut, pNew, ctNew * sizeof(CH));
      pOut += ctNew;
      iCopied = i + ctOld;
    }
    if (ct > iCopied) memcpy(pOut, p + iCopied, (ct - iCopied) * sizeof(CH));
    TextBuffer::Take(T::Buffer(s), pResult);
    return true;
  }

  template <bool bCaseSensitive> static int LastOf(const CH *p, const CH *pOld)
  {
    int ct = TextLength(p);
    int ctOld = TextLength(pOld);
    typedef Folding<CH, bCaseSensitive> F;
    for (int i = ct - ctOld; i >= 0; i--) {
      int j = 0;
      while (j < ctOld && F::Fold(p[i + j]) == F::Fold(pOld[j])) j++;
      if (j == ctOld) return i;
    }
    return -1;
  }

  template <bool bCaseSensitive> static bool RemoveHead(String &s, const CH *pHead)
  {
    pHead = Text(pHead);
    const CH *p = T::Buffer(s);
    int ctHead = TextLength(pHead);
    if (ctHead == 0) return false;
    typedef Folding<CH, bCaseSensitive> F;
    for (int i = 0; i < ctHead; i++) {
      if (p[i] == 0 || F::Fold(p[i]) != F::Fold(pHead[i])) return false;
    }
    DeleteSubstr(s, 0, ctHead);
    return true;
  }

  template <bool bCaseSensitive> static bool RemoveTail(String &s, const CH *pTail)
  {
    pTail = Text(pTail);
    const CH *p = T::Buffer(s);
    int ct = TextLength(p);
    int ctTail = TextLength(pTail);
    if (ctTail == 0 || ctTail > ct) return false;
    typedef Folding<CH, bCaseSensitive> F;
    for (int i = 0; i < ctTail; i++) {
      if (F::Fold(p[ct - ctTail + i]) != F::Fold(pTail[i])) return false;
    }
    DeleteTail(s, ctTail);
    return true;
  }

  static bool IsSpace(CH c) { return (T::Class(c) & CHC_SPACE) != 0; }

  static void Trim(String &s, bool bLeft, bool bRight)
  {
    const CH *p = T::Buffer(s);
    int ct = TextLength(p);
    int iStart = 0;
    int iEnd = ct;
    if (bLeft) {
      while (iStart < iEnd && IsSpace(p[iStart])) iStart++;
    }
    if (bRight) {
      while (iEnd > iStart && IsSpace(p[iEnd - 1])) iEnd--;
    }
    if (iStart == 0 && iEnd == ct) return;
    TextBuffer::Take(T::Buffer(s), TextBuffer::CopyOf(p + iStart, iEnd - iStart));
  }

  template <class FN> static String Map(const CH *p, FN fn)
  {
    p = Text(p);
    int ct = TextLength(p);
    CH *pNew = T::Alloc(ct);
    for (int i = 0; i < ct; i++) pNew[i] = fn(p[i]);
    return Adopt(pNew);
  }

  static String Reverse(const CH *p)
  {
    p = Text(p);
    int ct = TextLength(p);
    CH *pNew = T::Alloc(ct);
    for (int i = 0; i < ct; i++) pNew[i] = p[ct - 1 - i];
    return Adopt(pNew);
  }

  static String Concat(const CH *pA, const CH *pB)
  {
    pA = Text(pA);
    pB = Text(pB);
    return Adopt(Join(pA, TextLength(pA), pB, TextLength(pB), nullptr, 0));
  }

  static String FromChar(CH ch)
  {
    CH ach[2] = {ch, 0};
    return Adopt(TextBuffer::CopyOf(ach, ch != 0 ? 1 : 0));
  }

  // Markup codes: how many characters a caret code at `p` (p[0] == '^') takes, and whether it
  // leaves one caret behind.
  static int MarkupLength(const CH *p, bool &bKeepCaret)
  {
    bKeepCaret = false;
    int ctExtra = 0;
    switch (p[1]) {
    case 'A':
    case 'B':
    case 'C':
    case 'F':
    case 'I':
    case 'b':
    case 'i':
    case 'o':
    case 'r':
      return 2;
    case '^':
      bKeepCaret = true;
      return 2;
    case 'a':
    case 'f':
      ctExtra = 2;
      break;
    case 'c':
      ctExtra = 6;
      break;
    default:
      // Not a code: the caret stays and scanning goes on with the next character.
      bKeepCaret = true;
      return 1;
    }
    int ct = 2;
    while (ctExtra > 0 && p[ct] != 0) {
      ct++;
      ctExtra--;
    }
    return ct;
  }

  static String Undecorated(const CH *p)
  {
    p = Text(p);
    CH *pNew = T::Alloc(TextLength(p));
    int ctOut = 0;
    while (*p != 0) {
      if (*p != '^') {
        pNew[ctOut++] = *p++;
        continue;
      }
      bool bKeepCaret;
      p += MarkupLength(p, bKeepCaret);
      if (bKeepCaret) pNew[ctOut++] = '^';
    }
    return Adopt(T::Resize(pNew, ctOut));
  }

  static int LengthUndecorated(const CH *p)
  {
    p = Text(p);
    int ctOut = 0;
    while (*p != 0) {
      if (*p != '^') {
        p++;
        ctOut++;
        continue;
      }
      bool bKeepCaret;
      p += MarkupLength(p, bKeepCaret);
      if (bKeepCaret) ctOut++;
    }
    return ctOut;
  }
};

typedef Edit<char> E8;
typedef Edit<unsigned short> E16;

char LowerOf(char c)
{
  return chLower(c);
}
char UpperOf(char c)
{
  return chUpper(c);
}
char ValidOf(char c)
{
  return chToValidChar(c);
}
unsigned short LowerOfW(unsigned short c)
{
  return wchLower(c);
}
unsigned short UpperOfW(unsigned short c)
{
  return wchUpper(c);
}
unsigned short ValidOfW(unsigned short c)
{
  return wchToValidWChar(c);
}

} // namespace

void strSetChar(CString &str, int i, char ch)
{
  E8::SetChar(str, i, ch);
}
void strSetSubstr(CString &str, int i, const char *strText)
{
  E8::SetSubstr(str, i, strText);
}
void strInsertChar(CString &str, int i, char ch)
{
  E8::InsertChar(str, i, ch);
}
void strInsertSubstr(CString &str, int i, const char *strText)
{
  E8::InsertSubstr(str, i, strText);
}
void strInsertHead(CString &str, const char *strText)
{
  E8::InsertSubstr(str, 0, strText);
}
void strInsertTail(CString &str, const char *strText)
{
  E8::InsertSubstr(str, 0x7FFFFFFF, strText);
}
void strDeleteChar(CString &str, int i)
{
  E8::DeleteChar(str, i);
}
void strDeleteSubstr(CString &str, int i, int ctCount)
{
  E8::DeleteSubstr(str, i, ctCount);
}
void strDeleteHead(CString &str, int ctCount)
{
  E8::DeleteSubstr(str, 0, ctCount);
}
void strDeleteTail(CString &str, int ctCount)
{
  E8::DeleteTail(str, ctCount);
}
CString strGetSubstr(const char *str, int i, int ctCount)
{
  return E8::GetSubstr(str, i, ctCount);
}
CString strGetHead(const char *str, int ctCount)
{
  return E8::GetSubstr(str, 0, ctCount);
}
CString strGetTail(const char *str, int ctCount)
{
  return E8::GetTail(str, ctCount);
}
CString strExtractSubstr(CString &str, int i, int ctCount)
{
  return E8::ExtractSubstr(str, i, ctCount);
}
CString strExtractHead(CString &str, int ctCount)
{
  return E8::ExtractSubstr(str, 0, ctCount);
}
CString strExtractTail(CString &str, int ctCount)
{
  return E8::ExtractTail(str, ctCount);
}
CString strExtractFirstLine(CString &str)
{
  return E8::ExtractFirstLine(str);
}
void strSplit(const char *str, int i, CString &strHead, CString &strTail)
{
  E8::Split(str, i, strHead, strTail);
}
bool strReplaceSubstr(CString &str, const char *strOld, const char *strNew)
{
  return E8::Replace<false, false, false>(str, strOld, strNew);
}
bool strReplaceSubstrS(CString &str, const char *strOld, const char *strNew)
{
  return E8::Replace<true, false, false>(str, strOld, strNew);
}
bool strReplaceSubstrB(CString &str, const char *strOld, const char *strNew)
{
  return E8::Replace<false, true, false>(str, strOld, strNew);
}
bool strReplaceSubstrSB(CString &str, const char *strOld, const char *strNew)
{
  return E8::Replace<true, true, false>(str, strOld, strNew);
}
bool strReplaceSubstrA(CString &str, const char *strOld, const char *strNew)
{
  return E8::Replace<false, false, true>(str, strOld, strNew);
}
bool strReplaceSubstrSA(CString &str, const char *strOld, const char *strNew)
{
  return E8::Replace<true, false, true>(str, strOld, strNew);
}
bool strRemoveHead(CString &str, const char *strHead)
{
  return E8::RemoveHead<false>(str, strHead);
}
bool strRemoveHeadS(CString &str, const char *strHead)
{
  return E8::RemoveHead<true>(str, strHead);
}
bool strRemoveTail(CString &str, const char *strTail)
{
  return E8::RemoveTail<false>(str, strTail);
}
bool strRemoveTailS(CString &str, const char *strTail)
{
  return E8::RemoveTail<true>(str, strTail);
}
void strTrimSpacesLeft(CString &str)
{
  E8::Trim(str, true, false);
}
void strTrimSpacesRight(CString &str)
{
  E8::Trim(str, false, true);
}
void strTrimSpaces(CString &str)
{
  E8::Trim(str, true, true);
}
CString strToLower(const char *str)
{
  return E8::Map(str, LowerOf);
}
CString strToUpper(const char *str)
{
  return E8::Map(str, UpperOf);
}
CString strToValidChar(const char *str)
{
  return E8::Map(str, ValidOf);
}
CString strReverse(const char *str)
{
  return E8::Reverse(str);
}
CString strConcat(const char *strA, const char *strB)
{
  return E8::Concat(strA, strB);
}
CString operator+(const CString &strA, const CString &strB)
{
  return E8::Concat(strA, strB);
}
CString operator+(const CString &strA, const char *strB)
{
  return E8::Concat(strA, strB);
}
CString operator+(const char *strA, const CString &strB)
{
  return E8::Concat(strA, strB);
}
CString &operator+=(CString &str, const char *strTail)
{
  E8::InsertSubstr(str, 0x7FFFFFFF, strTail);
  return str;
}
CString strFromPsz(const char *str)
{
  return CString(str);
}
CString strFromChar(char ch)
{
  return E8::FromChar(ch);
}
CString strFromIndex(int i)
{
  return strFormat("%1", i);
}
CString strFromFloat(float f)
{
  return strFormat("%1", f);
}
CString strFromObjPtr(const void *pv)
{
  return strFormat("%1", fmtSpec(pv, "#010X"));
}
CString strUndecorated(const char *str)
{
  return E8::Undecorated(str);
}
int strLengthUndecorated(const char *str)
{
  return E8::LengthUndecorated(str);
}

void wstrSetChar(CWString &wstr, int i, unsigned short wch)
{
  E16::SetChar(wstr, i, wch);
}
void wstrSetSubstr(CWString &wstr, int i, const unsigned short *wstrText)
{
  E16::SetSubstr(wstr, i, wstrText);
}
void wstrInsertChar(CWString &wstr, int i, unsigned short wch)
{
  E16::InsertChar(wstr, i, wch);
}
void wstrInsertSubstr(CWString &wstr, int i, const unsigned short *wstrText)
{
  E16::InsertSubstr(wstr, i, wstrText);
}
void wstrInsertHead(CWString &wstr, const unsigned short *wstrText)
{
  E16::InsertSubstr(wstr, 0, wstrText);
}
void wstrInsertTail(CWString &wstr, const unsigned short *wstrText)
{
  E16::InsertSubstr(wstr, 0x7FFFFFFF, wstrText);
}
void wstrDeleteChar(CWString &wstr, int i)
{
  E16::DeleteChar(wstr, i);
}
void wstrDeleteSubstr(CWString &wstr, int i, int ctCount)
{
  E16::DeleteSubstr(wstr, i, ctCount);
}
void wstrDeleteHead(CWString &wstr, int ctCount)
{
  E16::DeleteSubstr(wstr, 0, ctCount);
}
void wstrDeleteTail(CWString &wstr, int ctCount)
{
  E16::DeleteTail(wstr, ctCount);
}
CWString wstrGetSubstr(const unsigned short *wstr, int i, int ctCount)
{
  return E16::GetSubstr(wstr, i, ctCount);
}
CWString wstrGetHead(const unsigned short *wstr, int ctCount)
{
  return E16::GetSubstr(wstr, 0, ctCount);
}
CWString wstrGetTail(const unsigned short *wstr, int ctCount)
{
  return E16::GetTail(wstr, ctCount);
}
CWString wstrExtractSubstr(CWString &wstr, int i, int ctCount)
{
  return E16::ExtractSubstr(wstr, i, ctCount);
}
CWString wstrExtractHead(CWString &wstr, int ctCount)
{
  return E16::ExtractSubstr(wstr, 0, ctCount);
}
CWString wstrExtractTail(CWString &wstr, int ctCount)
{
  return E16::ExtractTail(wstr, ctCount);
}
CWString wstrExtractFirstLine(CWString &wstr)
{
  return E16::ExtractFirstLine(wstr);
}
void wstrSplit(const unsigned short *wstr, int i, CWString &wstrHead, CWString &wstrTail)
{
  E16::Split(wstr, i, wstrHead, wstrTail);
}
bool wstrReplaceSubstr(CWString &wstr, const unsigned short *wstrOld, const unsigned short *wstrNew)
{
  return E16::Replace<false, false, false>(wstr, wstrOld, wstrNew);
}
bool wstrReplaceSubstrS(CWString &wstr, const unsigned short *wstrOld,
                        const unsigned short *wstrNew)
{
  return E16::Replace<true, false, false>(wstr, wstrOld, wstrNew);
}
bool wstrReplaceSubstrB(CWString &wstr, const unsigned short *wstrOld,
                        const unsigned short *wstrNew)
{
  return E16::Replace<false, true, false>(wstr, wstrOld, wstrNew);
}
bool wstrReplaceSubstrSB(CWString &wstr, const unsigned short *wstrOld,
                         const unsigned short *wstrNew)
{
  return E16::Replace<true, true, false>(wstr, wstrOld, wstrNew);
}
bool wstrReplaceSubstrA(CWString &wstr, const unsigned short *wstrOld,
                        const unsigned short *wstrNew)
{
  return E16::Replace<false, false, true>(wstr, wstrOld, wstrNew);
}
bool wstrReplaceSubstrSA(CWString &wstr, const unsigned short *wstrOld,
                         const unsigned short *wstrNew)
{
  return E16::Replace<true, false, true>(wstr, wstrOld, wstrNew);
}
bool wstrRemoveHead(CWString &wstr, const unsigned short *wstrHead)
{
  return E16::RemoveHead<false>(wstr, wstrHead);
}
bool wstrRemoveHeadS(CWString &wstr, const unsigned short *wstrHead)
{
  return E16::RemoveHead<true>(wstr, wstrHead);
}
bool wstrRemoveTail(CWString &wstr, const unsigned short *wstrTail)
{
  return E16::RemoveTail<false>(wstr, wstrTail);
}
bool wstrRemoveTailS(CWString &wstr, const unsigned short *wstrTail)
{
  return E16::RemoveTail<true>(wstr, wstrTail);
}
void wstrTrimSpacesLeft(CWString &wstr)
{
  E16::Trim(wstr, true, false);
}
void wstrTrimSpacesRight(CWString &wstr)
{
  E16::Trim(wstr, false, true);
}
void wstrTrimSpaces(CWString &wstr)
{
  E16::Trim(wstr, true, true);
}
CWString wstrToLower(const unsigned short *wstr)
{
  return E16::Map(wstr, LowerOfW);
}
CWString wstrToUpper(const unsigned short *wstr)
{
  return E16::Map(wstr, UpperOfW);
}
CWString wstrToValidChar(const unsigned short *wstr)
{
  return E16::Map(wstr, ValidOfW);
}
CWString wstrReverse(const unsigned short *wstr)
{
  return E16::Reverse(wstr);
}
CWString wstrConcat(const unsigned short *wstrA, const unsigned short *wstrB)
{
  return E16::Concat(wstrA, wstrB);
}
CWString operator+(const CWString &wstrA, const CWString &wstrB)
{
  return E16::Concat(wstrA, wstrB);
}
CWString operator+(const CWString &wstrA, const unsigned short *wstrB)
{
  return E16::Concat(wstrA, wstrB);
}
CWString operator+(const unsigned short *wstrA, const CWString &wstrB)
{
  return E16::Concat(wstrA, wstrB);
}
CWString &operator+=(CWString &wstr, const unsigned short *wstrTail)
{
  E16::InsertSubstr(wstr, 0x7FFFFFFF, wstrTail);
  return wstr;
}
CWString wstrFromPsz(const unsigned short *wstr)
{
  return CWString(wstr);
}
CWString wstrFromChar(unsigned short wch)
{
  return E16::FromChar(wch);
}
CWString wstrFromIndex(int i)
{
  return wstrFormat(u"%1", i);
}
CWString wstrFromFloat(float f)
{
  return wstrFormat(u"%1", f);
}
CWString wstrFromObjPtr(const void *pv)
{
  return wstrFormat(u"%1", fmtSpec(pv, "#010X"));
}
CWString wstrUndecorated(const unsigned short *wstr)
{
  return E16::Undecorated(wstr);
}
int wstrLengthUndecorated(const unsigned short *wstr)
{
  return E16::LengthUndecorated(wstr);
}

} // namespace QuennelEngine
