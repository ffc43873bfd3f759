#include "core/text/Scanner.h"

#include "core/frame/CodeGuard.h"
#include "core/text/FormatPrivate.h"

// The input engine is one template over the character type and over a source: the callback
// source serves fmtInputFV, the text source lets strScanFV read a text in place and know how far
// it got. A source always holds the current character; 0 is the end of the input.

namespace QuennelEngine {

using namespace Format;

namespace {

template <class CH> class CCallbackSource {
public:
  typedef int (*GetFunction)(CH &, void *);
  CCallbackSource(GetFunction get, void *pvContext) : cs_get(get), cs_pvContext(pvContext)
  {
    Advance();
  }
  CH Current() const { return cs_chCurrent; }
  void Advance()
  {
    if (!cs_get(cs_chCurrent, cs_pvContext)) cs_chCurrent = 0;
  }

private:
  GetFunction cs_get;
  void *cs_pvContext;
  CH cs_chCurrent = 1;
};

template <class CH> class CTextSource {
public:
  explicit CTextSource(const CH *pch) : ts_pchStart(pch), ts_pch(pch) {}
  CH Current() const { return *ts_pch; }
  void Advance() { ts_pch++; }
  // Characters before the current one.
  int Consumed() const { return (int)(ts_pch - ts_pchStart); }

private:
  const CH *ts_pchStart;
  const CH *ts_pch;
};

template <class CH, class SOURCE> void SkipSpaces(SOURCE &in)
{
  while (in.Current() != 0 && IsSpace<CH>(in.Current())) in.Advance();
}

inline int HexValue(unsigned int c)
{
  if (c - '0' <= 9u) return (int)(c - '0');
  if (c - 'a' <= 5u) return (int)(c - 'a' + 10);
  if (c - 'A' <= 5u) return (int)(c - 'A' + 10);
  return -1;
}

// Decimal digits into `UL` (unsigned int or unsigned long long) up to `ulLimit`; false when the
// value would pass it. The limit is split once so no division runs per digit.
template <class UL, class SOURCE> bool ReadDecimal(SOURCE &in, UL ulLimit, UL &ulValue)
{
  const UL ulLimitTens = ulLimit / 10;
  const unsigned int ulLimitUnits = (unsigned int)(ulLimit % 10);
  UL ul = 0;
  for (unsigned int c = (unsigned int)in.Current(); IsDigit(c); c = (unsigned int)in.Current()) {
    unsigned int ulDigit = c - '0';
    if (ul > ulLimitTens || (ul == ulLimitTens && ulDigit > ulLimitUnits)) return false;
    ul = ul * 10 + ulDigit;
    in.Advance();
  }
  ulValue = ul;
  return true;
}

// Reads an integer of `ctBits` (32 or 64) into `ullResult` (two's complement bits). Fails on
// bad input and when the value does not fit the target.
template <class CH, class SOURCE>
bool ScanInteger(SOURCE &in, const Spec &spec, int ctBits, bool bSigned,
                 unsigned long long &ullResult)
{
  SkipSpaces<CH>(in);
  const unsigned long long ullAllBits = ctBits == 64 ? ~0ull : 0xFFFFFFFFull;
  if (spec.ulFlags & (FMTF_HEX_LOWER | FMTF_HEX_UPPER)) {
    if (spec.ulFlags & FMTF_PREFIX) {
      if (in.Current() != '0') return false;
      in.Advance();
      if (in.Current() != 'x' && in.Current() != 'X') return false;
      in.Advance();
    }
    unsigned long long ull = 0;
    for (int iDigit = HexValue(in.Current()); iDigit >= 0; iDigit = HexValue(in.Current())) {
      if (ull > (ullAllBits >> 4)) return false;
      ull = (ull << 4) | (unsigned int)iDigit;
      in.Advance();
    }
    ullResult = ull;
    return true;
  }
  bool bNegative = false;
  if (in.Current() == '-') {
    bNegative = true;
    in.Advance();
  } else if (in.Current() == '+') {
    in.Advance();
  }
  if (!IsDigit(in.Current())) return false;
  // The largest magnitude the target holds with this sign.
  unsigned long long ullLimit =
      bSigned ? (ullAllBits >> 1) + (bNegative ? 1 : 0) : (bNegative ? 0 : ullAllBits);
  unsigned long long ull;
  if (ctBits == 32) {
    unsigned int ul;
    if (!ReadDecimal(in, (unsigned int)ullLimit, ul)) return false;
    ull = ul;
  } else {
    if (!ReadDecimal(in, ullLimit, ull)) return false;
  }
  ullResult = bNegative ? 0 - ull : ull;
  return true;
}

// m * 10^iExponent, in extended precision so the float it becomes is rounded once in effect.
long double ScaleByPowerOfTen(long double ldMantissa, int iExponent)
{
  static const long double aldPowers[] = {1e1L,  1e2L,  1e4L,   1e8L,  1e16L,
                                          1e32L, 1e64L, 1e128L, 1e256L};
  if (ldMantissa == 0) return ldMantissa;
  // Far outside a float's range: the result is 0 or infinite either way.
  if (iExponent > 400) iExponent = 400;
  if (iExponent < -400) iExponent = -400;
  bool bDivide = iExponent < 0;
  unsigned int ulExponent = bDivide ? -iExponent : iExponent;
  long double ldPower = 1.0L;
  for (int i = 0; ulExponent != 0; i++, ulExponent >>= 1) {
    if (ulExponent & 1) ldPower *= aldPowers[i];
  }
  return bDivide ? ldMantissa / ldPower : ldMantissa * ldPower;
}

// Sign, integer digits, '.', fraction digits, then 'e' or 'E', an optional '-' and exponent
// digits. A '+' is not taken in the exponent.
template <class CH, class SOURCE> bool ScanFloat(SOURCE &in, float &fResult)
{
  SkipSpaces<CH>(in);
  bool bNegative = false;
  if (in.Current() == '-') {
    bNegative = true;
    in.Advance();
  } else if (in.Current() == '+') {
    in.Advance();
  }
  if (!IsDigit(in.Current()) && in.Current() != '.') return false;
  // Up to 19 significant digits are kept; later ones only move the exponent.
  unsigned long long ullMantissa = 0;
  int ctSignificant = 0;
  int iExponent = 0;
  for (; IsDigit(in.Current()); in.Advance()) {
    if (ctSignificant < 19) {
      ullMantissa = ullMantissa * 10 + (unsigned int)(in.Current() - '0');
      if (ullMantissa != 0) ctSignificant++;
    } else {
      iExponent++;
    }
  }
  if (in.Current() == '.') {
    in.Advance();
    for (; IsDigit(in.Current()); in.Advance()) {
      if (ctSignificant < 19) {
        ullMantissa = ullMantissa * 10 + (unsigned int)(in.Current() - '0');
        if (ullMantissa != 0) ctSignificant++;
        iExponent--;
      }
    }
  }
  if (in.Current() == 'e' || in.Current() == 'E') {
    in.Advance();
    bool bNegativeExponent = false;
    if (in.Current() == '-') {
      bNegativeExponent = true;
      in.Advance();
    }
    int iWritten = 0;
    for (; IsDigit(in.Current()); in.Advance()) {
      if (iWritten < 100000) iWritten = iWritten * 10 + (in.Current() - '0');
    }
    iExponent += bNegativeExponent ? -iWritten : iWritten;
  }
  float f = (float)ScaleByPowerOfTen((long double)ullMantissa, iExponent);
  fResult = bNegative ? -f : f;
  return true;
}

// A text up to the next whitespace, or with `q` between double quotes, into the buffer held in
// `pchTarget` (a CString's or CWString's pointer). Only the target itself is allocated: the text
// is gathered on the stack, and only a text longer than that buffer grows a heap block.
template <class CH, class TCH, class SOURCE>
void ReadText(SOURCE &in, const Spec &spec, TCH *&pchTarget)
{
  SkipSpaces<CH>(in);
  bool bQuoted = (spec.ulFlags & FMTF_QUOTED) && in.Current() == '"';
  if (bQuoted) in.Advance();
  const int CT_CHUNK = 256;
  TCH achChunk[CT_CHUNK];
  int ctChunk = 0;
  TCH *pchLong = nullptr; // the text so far, once it outgrew the chunk
  int ctLong = 0;
  int ctLongCapacity = 0;
  for (;;) {
    CH c = in.Current();
    if (c == 0 || (bQuoted ? c == '"' : IsSpace<CH>(c))) break;
    if (ctChunk == CT_CHUNK) {
      if (ctLong + CT_CHUNK > ctLongCapacity) {
        ctLongCapacity = ctLongCapacity ? ctLongCapacity * 2 : CT_CHUNK;
        pchLong = pchLong ? TextTraits<TCH>::Resize(pchLong, ctLongCapacity)
                          : TextTraits<TCH>::Alloc(ctLongCapacity);
      }
      CopyChars(pchLong + ctLong, achChunk, CT_CHUNK);
      ctLong += CT_CHUNK;
      ctChunk = 0;
    }
    achChunk[ctChunk++] = ConvertChar<TCH>(c);
    in.Advance();
  }
  if (bQuoted && in.Current() == '"') in.Advance();
  TCH *pchNew = pchLong ? TextTraits<TCH>::Resize(pchLong, ctLong + ctChunk)
                        : TextTraits<TCH>::Alloc(ctChunk);
  CopyChars(pchNew + ctLong, achChunk, ctChunk);
  TextBuffer::Take(pchTarget, pchNew);
}

// Reads one argument's value through its pointer; false if it cannot be read.
template <class CH, class SOURCE> bool ScanArg(SOURCE &in, const Arg &arg)
{
  if (!(arg.ulTag & FMT_BY_POINTER)) return false;
  Spec spec;
  if (arg.strSpec != nullptr && !ParseSpec(arg.strSpec, spec)) return false;
  void *pv = ArgPointer(arg);
  if (pv == nullptr) {
    corLogGuardBreach();
    return false;
  }
  unsigned long long ull;
  switch (ArgTypeOf(arg.ulTag)) {
  case AT_CHAR:
    *(char *)pv = ConvertChar<char>(in.Current());
    if (in.Current() != 0) in.Advance();
    return true;
  case AT_WCHAR:
    *(unsigned short *)pv = ConvertChar<unsigned short>(in.Current());
    if (in.Current() != 0) in.Advance();
    return true;
  case AT_INT:
  case AT_UINT:
    if (!ScanInteger<CH>(in, spec, 32, ArgTypeOf(arg.ulTag) == AT_INT, ull)) return false;
    *(unsigned int *)pv = (unsigned int)ull;
    return true;
  case AT_INT64:
  case AT_UINT64:
    if (!ScanInteger<CH>(in, spec, 64, ArgTypeOf(arg.ulTag) == AT_INT64, ull)) return false;
    *(unsigned long long *)pv = ull;
    return true;
  case AT_FLOAT:
    return ScanFloat<CH>(in, *(float *)pv);
  case AT_TEXT:
    ReadText<CH>(in, spec, ((CString *)pv)->str_String);
    return true;
  case AT_WTEXT:
    ReadText<CH>(in, spec, ((CWString *)pv)->wstr_String);
    return true;
  default:
    return false; // pointer values and unknown types cannot be scanned
  }
}

template <class CH, class SOURCE> bool ScanFormat(SOURCE &in, const CH *pchFormat, CArgList &args)
{
  for (const CH *pch = pchFormat;;) {
    CH c = *pch;
    if (c == 0) return true;
    if (IsSpace<CH>(c)) {
      SkipSpaces<CH>(in);
      pch++;
      continue;
    }
    if (c == '%') {
      if (pch[1] == '%') {
        if (in.Current() != '%') return false;
        in.Advance();
        pch += 2;
        continue;
      }
      pch++;
      if (!IsDigit(*pch)) return false;
      int iArg = ReadPlaceholder(pch);
      Arg arg;
      if (iArg == 0 || !args.Get(iArg, arg) || !ScanArg<CH>(in, arg)) return false;
      // Input used up after a value: whatever the format still wants, the scan is complete.
      if (in.Current() == 0) return true;
      continue;
    }
    if (in.Current() == 0) return true;
    if (in.Current() != c) return false;
    in.Advance();
    pch++;
  }
}

template <class CH, class SOURCE>
int InputText(int (*get)(CH &, void *), void *pvContext, const CH *pchFormat, SOURCE source)
{
  if (get == nullptr || pchFormat == nullptr) {
    corLogGuardBreach();
    return 0;
  }
  CCallbackSource<CH> in(get, pvContext);
  CArgList args(source);
  return ScanFormat(in, pchFormat, args) ? 1 : 0;
}

template <class CH, class SOURCE>
int ScanString(const CH *pchText, const CH *pchFormat, SOURCE source)
{
  if (pchText == nullptr || pchFormat == nullptr) {
    corLogGuardBreach();
    return -1;
  }
  CTextSource<CH> in(pchText);
  CArgList args(source);
  return ScanFormat(in, pchFormat, args) ? in.Consumed() : -1;
}

} // namespace

int fmtInputFV(FmtGetFunction get, void *pvContext, const char *strFormat, va_list args)
{
  return InputText<char>(get, pvContext, strFormat, args);
}

int fmtInputF(FmtGetFunction get, void *pvContext, const char *strFormat, ...)
{
  va_list args;
  va_start(args, strFormat);
  int iResult = InputText<char>(get, pvContext, strFormat, args);
  va_end(args);
  return iResult;
}

int wfmtInputFV(WFmtGetFunction get, void *pvContext, const unsigned short *wstrFormat,
                va_list args)
{
  return InputText<unsigned short>(get, pvContext, wstrFormat, args);
}

int wfmtInputF(WFmtGetFunction get, void *pvContext, const unsigned short *wstrFormat, ...)
{
  va_list args;
  va_start(args, wstrFormat);
  int iResult = InputText<unsigned short>(get, pvContext, wstrFormat, args);
  va_end(args);
  return iResult;
}

int strScanFV(const char *strText, const char *strFormat, va_list args)
{
  return ScanString<char>(strText, strFormat, args);
}

int strScanF(const char *strText, const char *strFormat, ...)
{
  va_list args;
  va_start(args, strFormat);
  int iResult = ScanString<char>(strText, strFormat, args);
  va_end(args);
  return iResult;
}

int wstrScanFV(const unsigned short *wstrText, const unsigned short *wstrFormat, va_list args)
{
  return ScanString<unsigned short>(wstrText, wstrFormat, args);
}

int wstrScanF(const unsigned short *wstrText, const unsigned short *wstrFormat, ...)
{
  va_list args;
  va_start(args, wstrFormat);
  int iResult = ScanString<unsigned short>(wstrText, wstrFormat, args);
  va_end(args);
  return iResult;
}

int fmtInputArgs(FmtGetFunction get, void *pvContext, const char *strFormat,
                 const unsigned int *pulArgs)
{
  return InputText<char>(get, pvContext, strFormat, pulArgs);
}

int wfmtInputArgs(WFmtGetFunction get, void *pvContext, const unsigned short *wstrFormat,
                  const unsigned int *pulArgs)
{
  return InputText<unsigned short>(get, pvContext, wstrFormat, pulArgs);
}

int strScanArgs(const char *strText, const char *strFormat, const unsigned int *pulArgs)
{
  return ScanString<char>(strText, strFormat, pulArgs);
}

int wstrScanArgs(const unsigned short *wstrText, const unsigned short *wstrFormat,
                 const unsigned int *pulArgs)
{
  return ScanString<unsigned short>(wstrText, wstrFormat, pulArgs);
}

} // namespace QuennelEngine
