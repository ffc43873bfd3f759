#include "core/text/Conversion.h"

#include "core/frame/CodeGuard.h"
#include "core/text/TextPrivate.h"

#include <stdint.h>

namespace QuennelEngine {

static inline bool IsContinuation(unsigned char b)
{
  return (b & 0xC0) == 0x80;
}

int strUTF8GetBytesCount(char chLead)
{
  unsigned char b = (unsigned char)chLead;
  if ((b & 0xE0) == 0xE0) return 3;
  if ((b & 0xC0) == 0xC0) return 2;
  if (b < 0x80) return 1;
  return 0;
}

static inline int UTF8Length(unsigned short wch)
{
  return wch < 0x80 ? 1 : (wch < 0x800 ? 2 : 3);
}

static inline char *PutUTF8(unsigned short wch, char *pch)
{
  if (wch < 0x80) {
    *pch++ = (char)wch;
  } else if (wch < 0x800) {
    *pch++ = (char)(0xC0 | (wch >> 6));
    *pch++ = (char)(0x80 | (wch & 0x3F));
  } else {
    *pch++ = (char)(0xE0 | (wch >> 12));
    *pch++ = (char)(0x80 | ((wch >> 6) & 0x3F));
    *pch++ = (char)(0x80 | (wch & 0x3F));
  }
  return pch;
}

void strWriteUTF8Char(unsigned short wch, char *pchBuffer, int &iPosition)
{
  if (pchBuffer == nullptr) {
    corLogGuardBreach();
    return;
  }
  iPosition = (int)(PutUTF8(wch, pchBuffer + iPosition) - pchBuffer);
}

// Decodes one character at `pb`; returns it and stores the number of bytes it took.
static unsigned short DecodeUTF8(const unsigned char *pb, int &ctTaken)
{
  unsigned b0 = pb[0];
  if (b0 < 0x80) {
    ctTaken = b0 != 0 ? 1 : 0;
    return (unsigned short)b0;
  }
  ctTaken = 1;
  if (!(b0 & 0x40)) return CH_INVALID; // a lone continuation byte
  if (!IsContinuation(pb[1])) return CH_INVALID;
  if (!(b0 & 0x20)) {
    ctTaken = 2;
    unsigned v = ((b0 & 0x1F) << 6) | (pb[1] & 0x3F);
    return v < 0x80 ? (unsigned short)CH_INVALID : (unsigned short)v;
  }
  if (b0 & 0x10) {
    // A sequence of four or more bytes: beyond the 16-bit range, one replacement for all of it.
    ctTaken = 2;
    while (ctTaken < 4 && IsContinuation(pb[ctTaken])) ctTaken++;
    return CH_INVALID;
  }
  if (!IsContinuation(pb[2])) {
    ctTaken = 2;
    return CH_INVALID;
  }
  ctTaken = 3;
  unsigned v = ((b0 & 0x0F) << 12) | ((pb[1] & 0x3F) << 6) | (pb[2] & 0x3F);
  return v < 0x800 || v == 0xFFFF ? (unsigned short)CH_INVALID : (unsigned short)v;
}

unsigned short strReadWChar(const char *str, int &iPosition)
{
  if (str == nullptr) {
    corLogGuardBreach();
    return 0;
  }
  int ctTaken;
  unsigned short wch = DecodeUTF8((const unsigned char *)str + iPosition, ctTaken);
  iPosition += ctTaken;
  return wch;
}

unsigned short strGetWChar(const char *str, int iPosition)
{
  return strReadWChar(str, iPosition);
}

// True when all four bytes of `ul` are ASCII characters other than the terminator: a zero byte
// borrows into its top bit when one is taken from every byte.
static inline bool IsPlainASCIIWord(unsigned int ul)
{
  return (((ul - 0x01010101u) | ul) & 0x80808080u) == 0;
}

// Widens the four ASCII bytes of `ul`, in memory order, to four 16-bit units at `pwch`: two
// stores of two units each instead of four.
static inline void WidenASCIIWord(unsigned int ul, unsigned short *pwch)
{
  unsigned int ulLow = (ul & 0xFFu) | ((ul & 0xFF00u) << 8);
  unsigned int ulHigh = ((ul >> 16) & 0xFFu) | ((ul >> 8) & 0xFF0000u);
  __builtin_memcpy(pwch, &ulLow, 4);
  __builtin_memcpy(pwch + 2, &ulHigh, 4);
}

// Decodes the `ctBytes` bytes at `pb` into `pwch`, which has room for one unit per byte;
// returns the units written.
static int DecodeUTF8Text(const unsigned char *pb, int ctBytes, unsigned short *pwch)
{
  const unsigned char *pbEnd = pb + ctBytes;
  unsigned short *pwchOut = pwch;
  while (pb < pbEnd) {
    // ASCII is the common case: widen four bytes at a time while none has its top bit set. The
    // length bounds every read here, so the words need not be aligned, and no byte before the
    // end is the terminator.
    while (pbEnd - pb >= 4) {
      unsigned int ul;
      __builtin_memcpy(&ul, pb, 4);
      if (ul & 0x80808080u) break;
      WidenASCIIWord(ul, pwchOut);
      pwchOut += 4;
      pb += 4;
    }
    if (pb >= pbEnd) break;
    if (pb[0] < 0x80) {
      *pwchOut++ = *pb++;
      continue;
    }
    int ctTaken;
    *pwchOut++ = DecodeUTF8(pb, ctTaken);
    pb += ctTaken;
  }
  return (int)(pwchOut - pwch);
}

CWString strUTF8ToUTF16(const char *str)
{
  if (str == nullptr) {
    corLogGuardBreach();
    return CWString();
  }
  const unsigned char *pb = (const unsigned char *)str;
  // Short texts are decoded on the stack while their end is found, then allocated once at
  // their exact size.
  const int ctStack = 256;
  unsigned short awchStack[ctStack];
  int ct = 0;
  while (ct < ctStack) {
    // Runs of ASCII go a word at a time. The end is not known yet, so words are read from
    // aligned addresses only: the one that holds the terminator never reaches into another page.
    if (((uintptr_t)pb & 3) == 0) {
      while (ct <= ctStack - 4) {
        unsigned int ul;
        __builtin_memcpy(&ul, pb, 4);
        if (!IsPlainASCIIWord(ul)) break;
        WidenASCIIWord(ul, awchStack + ct);
        ct += 4;
        pb += 4;
      }
      if (ct == ctStack) break;
    }
    // One character at a time up to the next aligned word, and whatever stopped the words.
    if (*pb == 0) break;
    if (*pb < 0x80) {
      awchStack[ct++] = *pb++;
      continue;
    }
    int ctTaken;
    awchStack[ct++] = DecodeUTF8(pb, ctTaken);
    pb += ctTaken;
  }
  if (*pb == 0) {
    unsigned short *pwch = wstrAlloc(ct);
    memcpy(pwch, awchStack, ct * sizeof(unsigned short));
    return Adopt(pwch);
  }
  // Longer texts go on from where the stack ended: every character takes at least one byte, so
  // the bytes left bound the rest of the result.
  int ctRest = (int)strlen((const char *)pb);
  int ctBound = ct + ctRest;
  unsigned short *pwch = wstrAlloc(ctBound);
  memcpy(pwch, awchStack, ct * sizeof(unsigned short));
  ct += DecodeUTF8Text(pb, ctRest, pwch + ct);
  if (ct < ctBound) pwch = wstrResize(pwch, ct);
  return Adopt(pwch);
}

CString strUTF16ToUTF8(const unsigned short *wstr)
{
  if (wstr == nullptr) {
    corLogGuardBreach();
    return CString();
  }
  int ctBytes = 0;
  for (const unsigned short *pw = wstr; *pw != 0; pw++) ctBytes += UTF8Length(*pw);
  char *pch = strAlloc(ctBytes);
  char *pchOut = pch;
  for (const unsigned short *pw = wstr; *pw != 0; pw++) pchOut = PutUTF8(*pw, pchOut);
  return Adopt(pch);
}

CString wchUTF16ToUTF8(unsigned short wch)
{
  char ach[4];
  int ct = (int)(PutUTF8(wch, ach) - ach);
  return CString(ach, wch != 0 ? ct : 0);
}

CWString strASCIIToUTF16(const char *str)
{
  if (str == nullptr) {
    corLogGuardBreach();
    return CWString();
  }
  int ct = (int)strlen(str);
  unsigned short *pwch = wstrAlloc(ct);
  for (int i = 0; i < ct; i++) pwch[i] = chASCIIToUTF16(str[i]);
  return Adopt(pwch);
}

CString strUTF16ToASCII(const unsigned short *wstr)
{
  if (wstr == nullptr) {
    corLogGuardBreach();
    return CString();
  }
  int ct = TextLength(wstr);
  char *pch = strAlloc(ct);
  for (int i = 0; i < ct; i++) pch[i] = wchUTF16ToASCII(wstr[i]);
  return Adopt(pch);
}

} // namespace QuennelEngine
