#pragma once
// The type-safe front of the formatter and the scanner. The templates below write the tag word
// and value words of every argument into an array on the stack, end it with a 0 word (which is
// not a tag, so a placeholder beyond the arguments finds nothing) and run the engine over it:
//
//   CString str = strFormat("%2 has %1 items at %3", ctItems, strName, fmtSpec(pv, "x"));
//   int iMajor, iMinor;
//   strScan(strVersion, "%1.%2", &iMajor, &iMinor);
//
// Output: char -> character; char16_t, wchar_t -> 16-bit character; integers of 32 bits or less,
// bool and enums -> signed or unsigned 32-bit; long long types -> 64-bit; float, double -> float;
// char pointers and CString -> 8-bit text; unsigned short, char16_t and wchar_t pointers and
// CWString -> 16-bit text; other pointers and nullptr -> pointer value. fmtPointer() prints a
// char pointer as a pointer value. Anything else does not compile.
#include "core/text/Formatter.h"
#include "core/text/Scanner.h"

#include <string.h>
#include <type_traits>

namespace QuennelEngine {

// An argument (or a scan target) with a specification string: fmtSpec(iValue, "04X"),
// fmtSpec(&iTarget, "x"). It refers to `value`, so it lives only as long as the call it is in.
template <class T> struct CFmtSpecArg {
  const T &fsa_value;
  const char *fsa_strSpec;
};
template <class T> CFmtSpecArg<T> fmtSpec(const T &value, const char *strSpec)
{
  return CFmtSpecArg<T>{value, strSpec};
}

// A pointer printed as a pointer value even if it points to characters.
struct CFmtPointerArg {
  const void *fpa_pv;
};
inline CFmtPointerArg fmtPointer(const void *pv)
{
  return CFmtPointerArg{pv};
}

// A 16-bit text as the front takes it: a pointer to 16-bit units, a u"..." literal or a CWString.
struct CFmtWText {
  const unsigned short *fwt_pwch;
  CFmtWText(const unsigned short *pwch) : fwt_pwch(pwch) {}
  CFmtWText(const char16_t *pwch) : fwt_pwch(reinterpret_cast<const unsigned short *>(pwch)) {}
  CFmtWText(const CWString &wstr) : fwt_pwch(wstr.wstr_String) {}
};

namespace FormatArgs {

template <class T> struct AlwaysFalse : std::false_type {
};

// The type an argument is classified by: arrays become pointers (to const, as arguments are taken
// by const reference), top-level qualifiers go.
template <class T> using Plain = typename std::decay<const T>::type;

template <class T, class U> constexpr bool Is()
{
  return std::is_same<T, U>::value;
}

// The tag of an output argument of type T (already decayed).
template <class T> constexpr unsigned int OutputTag()
{
  if constexpr (Is<T, char>()) {
    return ARG_CHAR;
  } else if constexpr (Is<T, char16_t>() || Is<T, wchar_t>()) {
    return ARG_WCHAR;
  } else if constexpr (Is<T, bool>() || std::is_enum<T>::value) {
    return ARG_INT;
  } else if constexpr (std::is_integral<T>::value && sizeof(T) <= 4) {
    return std::is_signed<T>::value ? ARG_INT : ARG_UINT;
  } else if constexpr (std::is_integral<T>::value && sizeof(T) == 8) {
    return std::is_signed<T>::value ? ARG_INT64 : ARG_UINT64;
  } else if constexpr (std::is_floating_point<T>::value) {
    return ARG_FLOAT;
  } else if constexpr (Is<T, CString>() || Is<T, const char *>() || Is<T, char *>()) {
    return ARG_TEXT;
  } else if constexpr (Is<T, CWString>() || Is<T, const unsigned short *>() ||
                       Is<T, unsigned short *>() || Is<T, const char16_t *>() ||
                       Is<T, char16_t *>() || Is<T, const wchar_t *>() || Is<T, wchar_t *>()) {
    return ARG_WTEXT;
  } else if constexpr (std::is_pointer<T>::value || Is<T, decltype(nullptr)>() ||
                       Is<T, CFmtPointerArg>()) {
    return ARG_POINTER;
  } else {
    static_assert(AlwaysFalse<T>::value,
                  "strFormat: an argument must be a number, a character, a text (char pointer, "
                  "CString, 16-bit pointer, CWString) or a pointer");
    return 0;
  }
}

constexpr int ValueWords(unsigned int ulTag)
{
  return ulTag == ARG_INT64 || ulTag == ARG_UINT64 || ulTag == ARG_FLOAT ? 2 : 1;
}

inline unsigned int PointerWord(const void *pv)
{
  return (unsigned int)(size_t)pv;
}

// Writes the value words of `value` (of decayed type T) at `pul`; returns the next word.
template <class T, class V> unsigned int *PutValue(unsigned int *pul, const V &value)
{
  constexpr unsigned int ulTag = OutputTag<T>();
  if constexpr (ulTag == ARG_INT64 || ulTag == ARG_UINT64) {
    unsigned long long ull = (unsigned long long)value;
    memcpy(pul, &ull, sizeof(ull)); // low word first
    return pul + 2;
  } else if constexpr (ulTag == ARG_FLOAT) {
    double d = (double)value;
    memcpy(pul, &d, sizeof(d));
    return pul + 2;
  } else if constexpr (Is<T, CString>()) {
    *pul = PointerWord(value.str_String);
    return pul + 1;
  } else if constexpr (Is<T, CWString>()) {
    *pul = PointerWord(value.wstr_String);
    return pul + 1;
  } else if constexpr (Is<T, CFmtPointerArg>()) {
    *pul = PointerWord(value.fpa_pv);
    return pul + 1;
  } else if constexpr (std::is_pointer<T>::value) {
    *pul = PointerWord((const void *)value);
    return pul + 1;
  } else if constexpr (Is<T, decltype(nullptr)>()) {
    *pul = 0;
    return pul + 1;
  } else {
    *pul = (unsigned int)(long long)value;
    return pul + 1;
  }
}

// Words taken by one output argument, its tag included.
template <class A> struct OutputArg {
  typedef Plain<A> T;
  static constexpr int ctWords = 1 + ValueWords(OutputTag<T>());
  static unsigned int *Write(unsigned int *pul, const A &value)
  {
    *pul = OutputTag<T>();
    return PutValue<T>(pul + 1, value);
  }
};

template <class A> struct OutputArg<CFmtSpecArg<A>> {
  typedef Plain<A> T;
  static constexpr int ctWords = 2 + ValueWords(OutputTag<T>());
  static unsigned int *Write(unsigned int *pul, const CFmtSpecArg<A> &arg)
  {
    *pul = OutputTag<T>() | FMT_WITH_SPEC;
    pul = PutValue<T>(pul + 1, arg.fsa_value);
    *pul = PointerWord(arg.fsa_strSpec);
    return pul + 1;
  }
};

// The tag of a scan target of type T (a pointer).
template <class T> constexpr unsigned int ScanTag()
{
  if constexpr (Is<T, int *>() || Is<T, long *>()) {
    return ARG_INT | FMT_BY_POINTER;
  } else if constexpr (Is<T, unsigned int *>() || Is<T, unsigned long *>()) {
    return ARG_UINT | FMT_BY_POINTER;
  } else if constexpr (Is<T, long long *>()) {
    return ARG_INT64 | FMT_BY_POINTER;
  } else if constexpr (Is<T, unsigned long long *>()) {
    return ARG_UINT64 | FMT_BY_POINTER;
  } else if constexpr (Is<T, float *>()) {
    return ARG_FLOAT | FMT_BY_POINTER;
  } else if constexpr (Is<T, char *>()) {
    return ARG_CHAR | FMT_BY_POINTER;
  } else if constexpr (Is<T, unsigned short *>() || Is<T, char16_t *>() || Is<T, wchar_t *>()) {
    return ARG_WCHAR | FMT_BY_POINTER;
  } else if constexpr (Is<T, CString *>()) {
    return ARG_TEXT | FMT_BY_POINTER;
  } else if constexpr (Is<T, CWString *>()) {
    return ARG_WTEXT | FMT_BY_POINTER;
  } else {
    static_assert(AlwaysFalse<T>::value,
                  "strScan: a target must point to int, long, unsigned, unsigned long, long long, "
                  "unsigned long long, float, char, unsigned short, char16_t, CString or CWString");
    return 0;
  }
}

template <class A> struct ScanArg {
  typedef Plain<A> T;
  static constexpr int ctWords = 2;
  static unsigned int *Write(unsigned int *pul, const A &pTarget)
  {
    pul[0] = ScanTag<T>();
    pul[1] = PointerWord(pTarget);
    return pul + 2;
  }
};

template <class A> struct ScanArg<CFmtSpecArg<A>> {
  typedef Plain<A> T;
  static constexpr int ctWords = 3;
  static unsigned int *Write(unsigned int *pul, const CFmtSpecArg<A> &arg)
  {
    pul[0] = ScanTag<T>() | FMT_WITH_SPEC;
    pul[1] = PointerWord(arg.fsa_value);
    pul[2] = PointerWord(arg.fsa_strSpec);
    return pul + 3;
  }
};

// The words of all arguments, ended by a 0 word.
template <template <class> class KIND, class... Args> struct CWords {
  unsigned int aul[(KIND<Plain<Args>>::ctWords + ... + 0) + 1];
  explicit CWords(const Args &...args)
  {
    unsigned int *pul = aul;
    ((pul = KIND<Plain<Args>>::Write(pul, args)), ...);
    *pul = 0;
  }
};

} // namespace FormatArgs

// The formatted text. Returns a new string.
template <class... Args> CString strFormat(const char *strFmt, const Args &...args)
{
  FormatArgs::CWords<FormatArgs::OutputArg, Args...> words(args...);
  return strPrintArgs(strFmt, words.aul);
}

// The formatted 16-bit text (the format may be a u"..." literal).
template <class... Args> CWString wstrFormat(CFmtWText wstrFmt, const Args &...args)
{
  FormatArgs::CWords<FormatArgs::OutputArg, Args...> words(args...);
  return wstrPrintArgs(wstrFmt.fwt_pwch, words.aul);
}

// Formats through a put callback; 1 if every placeholder was valid, else 0.
template <class... Args>
int fmtOutput(FmtPutFunction put, void *pvContext, const char *strFmt, const Args &...args)
{
  FormatArgs::CWords<FormatArgs::OutputArg, Args...> words(args...);
  return fmtOutputArgs(put, pvContext, strFmt, words.aul);
}

template <class... Args>
int wfmtOutput(WFmtPutFunction put, void *pvContext, CFmtWText wstrFmt, const Args &...args)
{
  FormatArgs::CWords<FormatArgs::OutputArg, Args...> words(args...);
  return wfmtOutputArgs(put, pvContext, wstrFmt.fwt_pwch, words.aul);
}

// Scans a text into the targets (pointers, or fmtSpec of pointers): the characters consumed, or
// -1 if the scan failed.
template <class... Targets>
int strScan(const char *strText, const char *strFmt, const Targets &...targets)
{
  FormatArgs::CWords<FormatArgs::ScanArg, Targets...> words(targets...);
  return strScanArgs(strText, strFmt, words.aul);
}

template <class... Targets>
int wstrScan(CFmtWText wstrText, CFmtWText wstrFmt, const Targets &...targets)
{
  FormatArgs::CWords<FormatArgs::ScanArg, Targets...> words(targets...);
  return wstrScanArgs(wstrText.fwt_pwch, wstrFmt.fwt_pwch, words.aul);
}

// Scans through a get callback; 1 on success, 0 on failure.
template <class... Targets>
int fmtInput(FmtGetFunction get, void *pvContext, const char *strFmt, const Targets &...targets)
{
  FormatArgs::CWords<FormatArgs::ScanArg, Targets...> words(targets...);
  return fmtInputArgs(get, pvContext, strFmt, words.aul);
}

template <class... Targets>
int wfmtInput(WFmtGetFunction get, void *pvContext, CFmtWText wstrFmt, const Targets &...targets)
{
  FormatArgs::CWords<FormatArgs::ScanArg, Targets...> words(targets...);
  return wfmtInputArgs(get, pvContext, wstrFmt.fwt_pwch, words.aul);
}

} // namespace QuennelEngine
