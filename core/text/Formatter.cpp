#include "core/text/Formatter.h"

#include "core/frame/CodeGuard.h"
#include "core/text/FormatPrivate.h"

// The output engine is one template over the character type and over a sink: the callback sink
// serves fmtOutputFV, the buffer sink lets strPrintFV format into a stack buffer without a call
// per character. Numbers are built as ASCII in small stack buffers and widened by the sink.

namespace QuennelEngine {

using namespace Format;

namespace {

// Characters to a put callback.
template <class CH> class CCallbackSink {
public:
  typedef void (*PutFunction)(CH, void *);
  CCallbackSink(PutFunction put, void *pvContext) : cs_put(put), cs_pvContext(pvContext) {}
  void Put(CH c) { cs_put(c, cs_pvContext); }
  // Passes on the format's characters up to the next '%' or the end; returns where it stopped.
  const CH *PutLiteral(const CH *pch)
  {
    for (CH c = *pch; c != 0 && c != '%'; c = *++pch) cs_put(c, cs_pvContext);
    return pch;
  }
  void PutRun(const CH *pch, int ct)
  {
    for (int i = 0; i < ct; i++) cs_put(pch[i], cs_pvContext);
  }
  void PutAscii(const char *pch, int ct)
  {
    for (int i = 0; i < ct; i++) cs_put((CH)(unsigned char)pch[i], cs_pvContext);
  }
  void PutTerminated(const CH *pch)
  {
    for (; *pch != 0; pch++) cs_put(*pch, cs_pvContext);
  }
  void Fill(CH c, int ct)
  {
    for (int i = 0; i < ct; i++) cs_put(c, cs_pvContext);
  }

private:
  PutFunction cs_put;
  void *cs_pvContext;
};

// Characters into a buffer of fixed capacity; counts what did not fit too, so the caller learns
// the full length.
template <class CH> class CBufferSink {
public:
  CBufferSink(CH *pchBuffer, int ctCapacity) : bs_pchBuffer(pchBuffer), bs_ctCapacity(ctCapacity) {}
  int Count() const { return bs_ct; }
  void Put(CH c)
  {
    if (bs_ct < bs_ctCapacity) bs_pchBuffer[bs_ct] = c;
    bs_ct++;
  }
  const CH *PutLiteral(const CH *pch)
  {
    // One pass: copied while it fits, only counted after.
    int ct = bs_ct;
    CH c = *pch;
    for (; c != 0 && c != '%' && ct < bs_ctCapacity; c = *++pch) bs_pchBuffer[ct++] = c;
    for (; c != 0 && c != '%'; c = *++pch) ct++;
    bs_ct = ct;
    return pch;
  }
  void PutRun(const CH *pch, int ct)
  {
    if (QE_LIKELY(ct <= bs_ctCapacity - bs_ct)) {
      CopyChars(bs_pchBuffer + bs_ct, pch, ct);
      bs_ct += ct;
    } else {
      for (int i = 0; i < ct; i++) Put(pch[i]);
    }
  }
  void PutAscii(const char *pch, int ct)
  {
    if (QE_LIKELY(ct <= bs_ctCapacity - bs_ct)) {
      CH *pchOut = bs_pchBuffer + bs_ct;
      // For 8-bit output GCC would make the loop a call of the runtime's memcpy, in another DLL.
      if constexpr (sizeof(CH) == 1) {
        CopyChars(pchOut, pch, ct);
      } else {
        for (int i = 0; i < ct; i++) pchOut[i] = (CH)(unsigned char)pch[i];
      }
      bs_ct += ct;
    } else {
      for (int i = 0; i < ct; i++) Put((CH)(unsigned char)pch[i]);
    }
  }
  void Fill(CH c, int ct)
  {
    for (int i = 0; i < ct; i++) Put(c);
  }
  // A whole terminated text in one pass: copied while it fits, only counted after.
  void PutTerminated(const CH *pch)
  {
    int ct = bs_ct;
    CH c = *pch;
    for (; c != 0 && ct < bs_ctCapacity; c = *++pch) bs_pchBuffer[ct++] = c;
    for (; c != 0; c = *++pch) ct++;
    bs_ct = ct;
  }

private:
  CH *bs_pchBuffer;
  int bs_ctCapacity;
  int bs_ct = 0;
};

// A word has a zero byte when this is non-zero.
inline unsigned int ZeroBytes(unsigned int ul)
{
  return (ul - 0x01010101u) & ~ul & 0x80808080u;
}

// Literal text is most of a message: 8-bit text goes four characters at a time. Words are read
// from aligned addresses only, so a word that holds the terminator never reaches into another
// page.
template <> const char *CBufferSink<char>::PutLiteral(const char *pch)
{
  int ct = bs_ct;
  char c = *pch;
  for (; ((size_t)pch & 3) != 0 && c != 0 && c != '%' && ct < bs_ctCapacity; c = *++pch)
    bs_pchBuffer[ct++] = c;
  if (((size_t)pch & 3) == 0) {
    while (ct + 4 <= bs_ctCapacity) {
      unsigned int ulWord;
      __builtin_memcpy(&ulWord, pch, 4);
      if (ZeroBytes(ulWord) | ZeroBytes(ulWord ^ 0x25252525u)) break; // a terminator or a '%'
      __builtin_memcpy(bs_pchBuffer + ct, &ulWord, 4);
      ct += 4;
      pch += 4;
    }
    c = *pch;
  }
  for (; c != 0 && c != '%' && ct < bs_ctCapacity; c = *++pch) bs_pchBuffer[ct++] = c;
  for (; c != 0 && c != '%'; c = *++pch) ct++;
  bs_ct = ct;
  return pch;
}

// A whole 8-bit text, four characters at a time, with the same aligned reads.
template <> void CBufferSink<char>::PutTerminated(const char *pch)
{
  int ct = bs_ct;
  char c = *pch;
  for (; ((size_t)pch & 3) != 0 && c != 0 && ct < bs_ctCapacity; c = *++pch) bs_pchBuffer[ct++] = c;
  if (((size_t)pch & 3) == 0) {
    while (ct + 4 <= bs_ctCapacity) {
      unsigned int ulWord;
      __builtin_memcpy(&ulWord, pch, 4);
      if (ZeroBytes(ulWord)) break;
      __builtin_memcpy(bs_pchBuffer + ct, &ulWord, 4);
      ct += 4;
      pch += 4;
    }
    c = *pch;
  }
  for (; c != 0 && ct < bs_ctCapacity; c = *++pch) bs_pchBuffer[ct++] = c;
  for (; c != 0; c = *++pch) ct++;
  bs_ct = ct;
}

const char _achDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the decimal digits of `ul` backwards, ending before `pchEnd`; returns the first digit.
inline char *DecimalDigits32(unsigned int ul, char *pchEnd)
{
  char *pch = pchEnd;
  while (ul >= 100) {
    unsigned int ulPair = (ul % 100) * 2;
    ul /= 100;
    pch -= 2;
    pch[0] = _achDigitPairs[ulPair];
    pch[1] = _achDigitPairs[ulPair + 1];
  }
  if (ul >= 10) {
    pch -= 2;
    pch[0] = _achDigitPairs[ul * 2];
    pch[1] = _achDigitPairs[ul * 2 + 1];
  } else {
    *--pch = (char)('0' + ul);
  }
  return pch;
}

char *DecimalDigits64(unsigned long long ull, char *pchEnd)
{
  char *pch = pchEnd;
  // Peel off nine digits at a time so the rest runs in 32-bit arithmetic.
  while (ull > 0xFFFFFFFFull) {
    unsigned int ulLow = (unsigned int)(ull % 1000000000u);
    ull /= 1000000000u;
    char *pchLow = DecimalDigits32(ulLow, pch);
    while (pchLow > pch - 9) *--pchLow = '0';
    pch = pchLow;
  }
  return DecimalDigits32((unsigned int)ull, pch);
}

// Writes a field: `head` (sign or "0x"), then the body, padded to the width. Zero padding goes
// between the head and the body, so a sign or prefix always comes first.
template <class CH, class SINK>
void PutNumberField(SINK &sink, const Spec &spec, const char *pchHead, int ctHead,
                    const char *pchBody, int ctBody, bool bZeroPadding)
{
  int ctPad = spec.iWidth - ctHead - ctBody;
  if (ctPad <= 0) {
    sink.PutAscii(pchHead, ctHead);
    sink.PutAscii(pchBody, ctBody);
  } else if (spec.ulFlags & FMTF_LEFT) {
    sink.PutAscii(pchHead, ctHead);
    sink.PutAscii(pchBody, ctBody);
    sink.Fill((CH)' ', ctPad);
  } else if ((spec.ulFlags & FMTF_ZERO) && bZeroPadding) {
    sink.PutAscii(pchHead, ctHead);
    sink.Fill((CH)'0', ctPad);
    sink.PutAscii(pchBody, ctBody);
  } else {
    sink.Fill((CH)' ', ctPad);
    sink.PutAscii(pchHead, ctHead);
    sink.PutAscii(pchBody, ctBody);
  }
}

// The sign of a non-negative number by the flags, or the minus of a negative one.
inline int SignHead(char *pchHead, bool bNegative, unsigned long ulFlags)
{
  if (bNegative)
    pchHead[0] = '-';
  else if (ulFlags & FMTF_PLUS)
    pchHead[0] = '+';
  else if (ulFlags & FMTF_BLANK)
    pchHead[0] = ' ';
  else
    return 0;
  return 1;
}

// An integer: `ullBits` holds the value (sign-extended for the signed types), `ctBits` its width.
template <class CH, class SINK>
void PutInteger(SINK &sink, const Spec &spec, unsigned long long ullBits, bool bSigned, int ctBits)
{
  char achBody[24];
  char *pchEnd = achBody + sizeof(achBody);
  char *pchBody;
  char achHead[2];
  int ctHead = 0;
  if (spec.ulFlags & (FMTF_HEX_LOWER | FMTF_HEX_UPPER)) {
    // The bits, never a sign.
    const char *pchHexDigits =
        (spec.ulFlags & FMTF_HEX_UPPER) ? "0123456789ABCDEF" : "0123456789abcdef";
    if (ctBits == 32) ullBits &= 0xFFFFFFFFu;
    pchBody = pchEnd;
    do {
      *--pchBody = pchHexDigits[(unsigned int)ullBits & 15];
      ullBits >>= 4;
    } while (ullBits != 0);
    if (spec.ulFlags & FMTF_PREFIX) {
      achHead[0] = '0';
      achHead[1] = 'x';
      ctHead = 2;
    }
  } else {
    bool bNegative = bSigned && (long long)ullBits < 0;
    unsigned long long ullMagnitude = bNegative ? 0 - ullBits : ullBits;
    pchBody = ullMagnitude <= 0xFFFFFFFFu ? DecimalDigits32((unsigned int)ullMagnitude, pchEnd)
                                          : DecimalDigits64(ullMagnitude, pchEnd);
    ctHead = SignHead(achHead, bNegative, spec.ulFlags);
  }
  PutNumberField<CH>(sink, spec, achHead, ctHead, pchBody, (int)(pchEnd - pchBody), true);
}

// A text of either width (or a character, `ct` = 1), with quotes and padding. Zero padding does
// not apply to texts.
template <class CH, class SINK, class TCH>
void PutTextField(SINK &sink, const Spec &spec, const TCH *pch, int ct)
{
  bool bQuoted = (spec.ulFlags & FMTF_QUOTED) != 0;
  int ctPad = spec.iWidth - ct - (bQuoted ? 2 : 0);
  if (ctPad > 0 && !(spec.ulFlags & FMTF_LEFT)) sink.Fill((CH)' ', ctPad);
  if (bQuoted) sink.Put((CH)'"');
  if (sizeof(TCH) == sizeof(CH)) {
    sink.PutRun((const CH *)pch, ct);
  } else {
    for (int i = 0; i < ct; i++) sink.Put(ConvertChar<CH>(pch[i]));
  }
  if (bQuoted) sink.Put((CH)'"');
  if (ctPad > 0 && (spec.ulFlags & FMTF_LEFT)) sink.Fill((CH)' ', ctPad);
}

template <class CH, class SINK, class TCH>
void PutText(SINK &sink, const Spec &spec, const TCH *pch)
{
  if (pch == nullptr) {
    // Not a text, so neither quoted nor cut by the precision.
    Spec specNull = spec;
    specNull.ulFlags &= ~FMTF_QUOTED;
    PutTextField<CH>(sink, specNull, "(null)", 6);
    return;
  }
  int ct = TextLengthUpTo(pch, spec.iPrecision >= 0 ? spec.iPrecision : 0x7FFFFFFF);
  PutTextField<CH>(sink, spec, pch, ct);
}

// ---- Floating point ----

// The working buffer's digit positions; a value that needs more prints nothing.
const int CT_FLOAT_DIGIT_POSITIONS = 90;

// One reporting line for every character width and call site: the code guard prints it the first
// time only, and counts every overflow.
void ReportFloatBufferOverflow(void)
{
  corLogGuardBreach();
}

// Eight significant digits of a finite, positive float: the value is about
// ulDigits * 10^(iExponent - 7), with ulDigits in [10^7, 10^8).
//
// The value is scaled into [10^7, 10^8) by a binary search over 10^32 ... 10^1, in extended
// precision so the scaled value is exact to far below one unit. Of the eight-digit numbers
// that read back as the same float, the one with the most trailing zeros is taken (so 0.1f
// prints 0.1, not 0.10000000149); if none does, the nearest eight-digit number. Everything runs
// inline: the runtime's floor and frexp are calls into another DLL here.
void FloatDigits(float f, unsigned int &ulDigits, int &iExponent)
{
  static const long double aldPowers[] = {1e32L, 1e16L, 1e8L, 1e4L, 1e2L, 1e1L};
  static const long double aldInverses[] = {1e-32L, 1e-16L, 1e-8L, 1e-4L, 1e-2L, 1e-1L};
  static const int aiPowers[] = {32, 16, 8, 4, 2, 1};
  long double ldValue = f;
  long double ld = ldValue;
  int iScale = 0; // ld = value * 10^iScale
  if (ld >= 1e8L) {
    for (int i = 0; i < 6; i++) {
      if (ld >= 1e7L * aldPowers[i]) {
        ld *= aldInverses[i];
        iScale -= aiPowers[i];
      }
    }
  } else if (ld < 1e7L) {
    for (int i = 0; i < 6; i++) {
      if (ld * aldPowers[i] < 1e8L) {
        ld *= aldPowers[i];
        iScale += aiPowers[i];
      }
    }
  }
  iExponent = 7 - iScale;

  // Half the distance to the neighbouring floats, in the same scale. Below a power of two the
  // neighbour is half as far; a decimal exactly halfway reads back as this float only if its
  // mantissa is even, hence the slight widening or narrowing.
  unsigned int ulBits;
  memcpy(&ulBits, &f, sizeof(ulBits));
  unsigned int ulBiasedExponent = ulBits >> 23;
  unsigned long long ullHalfUlpBits =
      (unsigned long long)((ulBiasedExponent ? ulBiasedExponent : 1) - 151 + 1023) << 52;
  double dHalfUlp;
  memcpy(&dHalfUlp, &ullHalfUlpBits, sizeof(dHalfUlp));
  long double ldSlack = (ulBits & 1) ? 1.0L - 1e-9L : 1.0L + 1e-9L;
  long double ldHalfUp = dHalfUlp * (ld / ldValue) * ldSlack;
  long double ldHalfDown = ldHalfUp;
  if ((ulBits & 0x7FFFFF) == 0 && ulBiasedExponent > 1) ldHalfDown *= 0.5L;

  // The nearest eight-digit number, then coarser ones while they stay close enough. The
  // remainder below each power of ten is built up from the digits, so no step divides. No value
  // is converted from the FPU to an integer either: on x87 each such conversion switches the
  // rounding mode twice, which costs more than everything else here. Adding 1.5 * 2^52 and
  // storing as a double leaves the nearest integer in the low bits instead.
  double dRounded = (double)(ld + 6755399441055744.0L);
  unsigned long long ullRoundedBits;
  memcpy(&ullRoundedBits, &dRounded, sizeof(ullRoundedBits));
  unsigned int ulNearest = (unsigned int)ullRoundedBits;
  long double ldOffset = ld - (long double)(int)ulNearest; // within +-0.5
  unsigned int ulBest = ulNearest;
  unsigned int ulRest = ulNearest;
  unsigned int ulRemainder = 0;
  unsigned int ulPower = 1;
  for (int i = 1; i < 8; i++) {
    ulRemainder += (ulRest % 10) * ulPower;
    ulRest /= 10;
    ulPower *= 10;
    // How far the value lies above the lower multiple of ulPower (negative when rounding to
    // eight digits went up and the multiple is that nearest number), and below the upper one.
    long double ldBelow = (long double)(int)ulRemainder + ldOffset;
    long double ldAbove = (long double)(int)ulPower - ldBelow;
    bool bTakeBelow = ldBelow < ldAbove;
    bool bReadsBack = !bTakeBelow    ? ldAbove < ldHalfUp
                      : ldBelow >= 0 ? ldBelow < ldHalfDown
                                     : -ldBelow < ldHalfUp;
    if (bReadsBack) {
      ulBest = ulNearest - ulRemainder + (bTakeBelow ? 0 : ulPower);
    } else {
      break;
    }
  }
  if (ulBest >= 100000000u) {
    ulBest /= 10;
    iExponent++;
  } else if (ulBest < 10000000u) {
    ulBest *= 10;
    iExponent--;
  }
  ulDigits = ulBest;
}

// Writes a float's field. Returns false if the digits would not fit the working buffer.
template <class CH, class SINK> bool PutFloat(SINK &sink, const Spec &spec, double dValue)
{
  float f = (float)dValue; // printed in single precision
  unsigned int ulBits;
  memcpy(&ulBits, &f, sizeof(ulBits));
  char achHead[1] = {0}; // a sign at most
  unsigned long ulFlags = spec.ulFlags;
  bool bNegative = (ulBits >> 31) != 0;
  if ((ulBits & 0x7F800000u) == 0x7F800000u && (ulBits & 0x7FFFFFu) != 0) {
    PutNumberField<CH>(sink, spec, achHead, 0, "NAN", 3, false);
    return true;
  }
  if ((ulBits & 0x7FFFFFFFu) == 0x7F800000u) {
    int ctHead = SignHead(achHead, bNegative, ulFlags);
    PutNumberField<CH>(sink, spec, achHead, ctHead, "INF", 3, false);
    return true;
  }
  if (f == 0.0f) {
    PutNumberField<CH>(sink, spec, achHead, 0, "0", 1, true);
    return true;
  }

  unsigned int ulDigits;
  int iExponent;
  FloatDigits(bNegative ? -f : f, ulDigits, iExponent);
  char achDigits[9]; // the eight significant digits as characters
  DecimalDigits32(ulDigits, achDigits + 8);
  int ctDigits = 8;
  bool bExponentForm = (ulFlags & (FMTF_EXP_LOWER | FMTF_EXP_UPPER)) ||
                       (!(ulFlags & FMTF_FIXED) && (iExponent < -4 || iExponent >= 5));
  int iPrecision = spec.iPrecision;
  if (iPrecision >= 0) {
    int ctPositions =
        bExponentForm ? 1 + iPrecision : (iExponent >= 0 ? iExponent + 1 : 1) + iPrecision;
    if (ctPositions > CT_FLOAT_DIGIT_POSITIONS) {
      ReportFloatBufferOverflow();
      return false;
    }
    // Round at the last kept digit: up from 5 for positive values, from 6 for negative ones.
    int ctKept = bExponentForm ? 1 + iPrecision : iExponent + 1 + iPrecision;
    if (ctKept < 8) {
      int iNext = ctKept >= 0 ? achDigits[ctKept] - '0' : 0;
      bool bUp = iNext >= (bNegative ? 6 : 5);
      // Digits from ctDigits on read as zeros.
      ctDigits = ctKept > 0 ? ctKept : 0;
      if (bUp) {
        int i = ctDigits - 1;
        while (i >= 0 && achDigits[i] == '9') i--;
        if (i >= 0) {
          achDigits[i]++;
          ctDigits = i + 1;
        } else {
          // Carried past the first digit: a leading 1 one place higher.
          achDigits[0] = '1';
          ctDigits = 1;
          iExponent++;
        }
      } else if (ctDigits == 0) {
        // Nothing kept and nothing carried: the value rounds to zero.
        achDigits[0] = '0';
        ctDigits = 1;
        iExponent = 0;
      }
    }
  } else {
    while (ctDigits > 1 && achDigits[ctDigits - 1] == '0') ctDigits--;
    if (!bExponentForm) {
      int ctFraction = ctDigits - 1 - iExponent;
      int ctPositions = (iExponent >= 0 ? iExponent + 1 : 1) + (ctFraction > 0 ? ctFraction : 0);
      if (ctPositions > CT_FLOAT_DIGIT_POSITIONS) {
        ReportFloatBufferOverflow();
        return false;
      }
    }
  }

  // The digit at index i of achDigits stands for 10^(iExponent - i); from ctDigits on it is 0.
  char achBody[CT_FLOAT_DIGIT_POSITIONS + 8];
  char *pch = achBody;
  auto DigitAt = [&](int i) { return i >= 0 && i < ctDigits ? achDigits[i] : '0'; };
  if (bExponentForm) {
    int ctFraction = iPrecision >= 0 ? iPrecision : ctDigits - 1;
    *pch++ = achDigits[0];
    if (ctFraction > 0) {
      *pch++ = '.';
      for (int i = 1; i <= ctFraction; i++) *pch++ = DigitAt(i);
    }
    *pch++ = (ulFlags & FMTF_EXP_LOWER) ? 'e' : 'E';
    int iAbsExponent = iExponent < 0 ? -iExponent : iExponent;
    *pch++ = iExponent < 0 ? '-' : '+';
    *pch++ = (char)('0' + iAbsExponent / 100);
    *pch++ = (char)('0' + iAbsExponent / 10 % 10);
    *pch++ = (char)('0' + iAbsExponent % 10);
  } else {
    int ctFraction = iPrecision >= 0 ? iPrecision : ctDigits - 1 - iExponent;
    if (ctFraction < 0) ctFraction = 0;
    if (iExponent < 0) {
      *pch++ = '0';
    } else {
      for (int i = 0; i <= iExponent; i++) *pch++ = DigitAt(i);
    }
    if (ctFraction > 0) {
      *pch++ = '.';
      for (int i = 1; i <= ctFraction; i++) *pch++ = DigitAt(iExponent + i);
    }
  }
  // A value that rounded to zero drops its sign.
  bool bZero = achDigits[0] == '0';
  int ctHead = SignHead(achHead, bNegative && !bZero, ulFlags);
  PutNumberField<CH>(sink, spec, achHead, ctHead, achBody, (int)(pch - achBody), true);
  return true;
}

// ---- The engine ----

// Writes one argument; false if it cannot be printed (the placeholder is then invalid).
template <class CH, class SINK> bool PutArg(SINK &sink, const Arg &arg)
{
  // Most placeholders are a text of the output's width without a specification: no field to lay
  // out, so the text is copied as it is measured.
  if (arg.strSpec == nullptr && ArgTypeOf(arg.ulTag) == (sizeof(CH) == 1 ? AT_TEXT : AT_WTEXT) &&
      !(arg.ulTag & FMT_BY_POINTER) && ArgPointer(arg) != nullptr) {
    sink.PutTerminated((const CH *)ArgPointer(arg));
    return true;
  }
  // The next most common: a 32-bit integer without a specification, in decimal as it is.
  if (arg.strSpec == nullptr && !(arg.ulTag & FMT_BY_POINTER) &&
      (ArgTypeOf(arg.ulTag) == AT_INT || ArgTypeOf(arg.ulTag) == AT_UINT)) {
    char achDigits[12];
    const unsigned int ul = (unsigned int)arg.ullValue;
    const bool bNegative = ArgTypeOf(arg.ulTag) == AT_INT && (int)ul < 0;
    char *pchFirst = DecimalDigits32(bNegative ? 0u - ul : ul, achDigits + sizeof(achDigits));
    if (bNegative) *--pchFirst = '-';
    sink.PutAscii(pchFirst, (int)(achDigits + sizeof(achDigits) - pchFirst));
    return true;
  }
  Spec spec;
  if (arg.strSpec != nullptr && !ParseSpec(arg.strSpec, spec)) return false;
  if (arg.ulTag & FMT_BY_POINTER) return false;
  switch (ArgTypeOf(arg.ulTag)) {
  case AT_CHAR: {
    char ch = (char)arg.ullValue;
    PutTextField<CH>(sink, spec, &ch, spec.iPrecision == 0 ? 0 : 1);
    return true;
  }
  case AT_WCHAR: {
    unsigned short wch = (unsigned short)arg.ullValue;
    PutTextField<CH>(sink, spec, &wch, spec.iPrecision == 0 ? 0 : 1);
    return true;
  }
  case AT_INT:
    PutInteger<CH>(sink, spec, (unsigned long long)(long long)(int)(unsigned int)arg.ullValue, true,
                   32);
    return true;
  case AT_UINT:
    PutInteger<CH>(sink, spec, (unsigned int)arg.ullValue, false, 32);
    return true;
  case AT_INT64:
    PutInteger<CH>(sink, spec, arg.ullValue, true, 64);
    return true;
  case AT_UINT64:
    PutInteger<CH>(sink, spec, arg.ullValue, false, 64);
    return true;
  case AT_FLOAT: {
    double d;
    memcpy(&d, &arg.ullValue, sizeof(d));
    return PutFloat<CH>(sink, spec, d);
  }
  case AT_TEXT:
    PutText<CH>(sink, spec, (const char *)ArgPointer(arg));
    return true;
  case AT_WTEXT:
    PutText<CH>(sink, spec, (const unsigned short *)ArgPointer(arg));
    return true;
  case AT_POINTER:
    // Always "0x" and hexadecimal, upper-case unless asked for lower; the pointer's 32 bits are
    // an address, so they are zero-extended.
    spec.ulFlags |= FMTF_PREFIX;
    if (!(spec.ulFlags & FMTF_HEX_LOWER)) spec.ulFlags |= FMTF_HEX_UPPER;
    PutInteger<CH>(sink, spec, (unsigned int)arg.ullValue, false, 32);
    return true;
  default:
    return false;
  }
}

template <class CH, class SINK> int FormatText(SINK &sink, const CH *pchFormat, CArgList &args)
{
  int bAllValid = 1;
  const CH *pch = pchFormat;
  for (;;) {
    pch = sink.PutLiteral(pch);
    if (*pch == 0) break;
    pch++;
    if (*pch == '%') {
      sink.Put((CH)'%');
      pch++;
      continue;
    }
    if (!IsDigit(*pch)) {
      // "%a" prints nothing for the '%' and goes on with the 'a'.
      bAllValid = 0;
      continue;
    }
    int iArg = ReadPlaceholder(pch);
    Arg arg;
    if (iArg == 0 || !args.Get(iArg, arg) || !PutArg<CH>(sink, arg)) bAllValid = 0;
  }
  return bAllValid;
}

template <class CH, class SOURCE>
int OutputText(void (*put)(CH, void *), void *pvContext, const CH *pchFormat, SOURCE source)
{
  if (put == nullptr || pchFormat == nullptr) {
    corLogGuardBreach();
    return 0;
  }
  CCallbackSink<CH> sink(put, pvContext);
  CArgList args(source);
  return FormatText(sink, pchFormat, args);
}

// Formats into a stack buffer and allocates the exact length once; a text too long for the
// buffer is formatted a second time straight into its allocation.
template <class CH, class SOURCE> CH *PrintText(const CH *pchFormat, SOURCE source)
{
  if (pchFormat == nullptr) {
    corLogGuardBreach();
    return TextTraits<CH>::Alloc(0);
  }
  const int CT_STACK = 512;
  CH achStack[CT_STACK];
  CBufferSink<CH> sinkStack(achStack, CT_STACK);
  {
    CArgList args(source);
    FormatText(sinkStack, pchFormat, args);
  }
  int ct = sinkStack.Count();
  CH *pchText = TextTraits<CH>::Alloc(ct);
  if (ct <= CT_STACK) {
    CopyChars(pchText, achStack, ct);
  } else {
    CBufferSink<CH> sink(pchText, ct);
    CArgList args(source);
    FormatText(sink, pchFormat, args);
  }
  return pchText;
}

} // namespace

int fmtOutputFV(FmtPutFunction put, void *pvContext, const char *strFormat, va_list args)
{
  return OutputText<char>(put, pvContext, strFormat, args);
}

int fmtOutputF(FmtPutFunction put, void *pvContext, const char *strFormat, ...)
{
  va_list args;
  va_start(args, strFormat);
  int iResult = OutputText<char>(put, pvContext, strFormat, args);
  va_end(args);
  return iResult;
}

int wfmtOutputFV(WFmtPutFunction put, void *pvContext, const unsigned short *wstrFormat,
                 va_list args)
{
  return OutputText<unsigned short>(put, pvContext, wstrFormat, args);
}

int wfmtOutputF(WFmtPutFunction put, void *pvContext, const unsigned short *wstrFormat, ...)
{
  va_list args;
  va_start(args, wstrFormat);
  int iResult = OutputText<unsigned short>(put, pvContext, wstrFormat, args);
  va_end(args);
  return iResult;
}

unsigned long tstExtendedArg(const char *strSpec)
{
  if (strSpec == nullptr) {
    corLogGuardBreach();
    return FMTF_INVALID;
  }
  Spec spec;
  return ParseSpec(strSpec, spec) ? spec.ulFlags : (unsigned long)FMTF_INVALID;
}

CString strPrintFV(const char *strFormat, va_list args)
{
  return Adopt(PrintText<char>(strFormat, args));
}

CString strPrintF(const char *strFormat, ...)
{
  va_list args;
  va_start(args, strFormat);
  char *pch = PrintText<char>(strFormat, args);
  va_end(args);
  return Adopt(pch);
}

CWString wstrPrintFV(const unsigned short *wstrFormat, va_list args)
{
  return Adopt(PrintText<unsigned short>(wstrFormat, args));
}

CWString wstrPrintF(const unsigned short *wstrFormat, ...)
{
  va_list args;
  va_start(args, wstrFormat);
  unsigned short *pwch = PrintText<unsigned short>(wstrFormat, args);
  va_end(args);
  return Adopt(pwch);
}

int fmtOutputArgs(FmtPutFunction put, void *pvContext, const char *strFormat,
                  const unsigned int *pulArgs)
{
  return OutputText<char>(put, pvContext, strFormat, pulArgs);
}

int wfmtOutputArgs(WFmtPutFunction put, void *pvContext, const unsigned short *wstrFormat,
                   const unsigned int *pulArgs)
{
  return OutputText<unsigned short>(put, pvContext, wstrFormat, pulArgs);
}

CString strPrintArgs(const char *strFormat, const unsigned int *pulArgs)
{
  return Adopt(PrintText<char>(strFormat, pulArgs));
}

CWString wstrPrintArgs(const unsigned short *wstrFormat, const unsigned int *pulArgs)
{
  return Adopt(PrintText<unsigned short>(wstrFormat, pulArgs));
}

} // namespace QuennelEngine
