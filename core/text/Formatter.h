#pragma once
// The positional formatter. A format holds numbered placeholders %1, %2, ...; the argument list
// holds, for each argument, a tag word (0xABCD0000 | flags | type code), its value words and, with
// FMT_WITH_SPEC, a pointer to a specification string such as "04X" or ".2f". Because arguments
// are found by number, translated texts may reorder the placeholders freely.
//
// Code in C++ should use the type-safe front in FormatArgs.h (strFormat, fmtOutput), which writes
// the tag words itself; the tag names below are for code that must build a raw variadic call.
#include "core/platform/Platform.h"
#include "core/text/String.h"
#include "core/text/WString.h"

#include <stdarg.h>

namespace QuennelEngine {

// Tag words of the argument list, and the bits that modify them.
enum FormatArgTag : unsigned int {
  FMT_MARKER = 0xABCD0000, // the top 16 bits of every tag
  FMT_MARKER_MASK = 0xFFFF0000,
  FMT_BY_POINTER = 0x8000, // the value word points to the variable (for scanning)
  FMT_WITH_SPEC = 0x4000,  // one more word follows the value: the specification's pointer
  FMT_TYPE_MASK = 0xFF,

  ARG_CHAR = 0xABCD0001,    // char, one word
  ARG_WCHAR = 0xABCD0002,   // 16-bit character, one word
  ARG_INT = 0xABCD0003,     // signed 32-bit, one word
  ARG_UINT = 0xABCD0004,    // unsigned 32-bit, one word
  ARG_INT64 = 0xABCD0005,   // signed 64-bit, two words (low first)
  ARG_UINT64 = 0xABCD0006,  // unsigned 64-bit, two words (low first)
  ARG_FLOAT = 0xABCD0007,   // a double, two words; printed and scanned in single precision
  ARG_TEXT = 0xABCD0009,    // 8-bit text pointer (a CString passes exactly that)
  ARG_WTEXT = 0xABCD000A,   // 16-bit text pointer (a CWString passes exactly that)
  ARG_POINTER = 0xABCD000B, // a pointer value, printed as 0x and hexadecimal digits
};

// Flags of a parsed specification, as tstExtendedArg returns them.
enum FormatSpecFlag : unsigned long {
  FMTF_LEFT = 0x2,         // '-'
  FMTF_PLUS = 0x4,         // '+'
  FMTF_BLANK = 0x8,        // ' '
  FMTF_ZERO = 0x10,        // '0'
  FMTF_PREFIX = 0x20,      // '#'
  FMTF_HEX_LOWER = 0x40,   // 'x'
  FMTF_HEX_UPPER = 0x80,   // 'X'
  FMTF_QUOTED = 0x100,     // 'q'
  FMTF_PRECISION = 0x200,  // '.' with or without digits
  FMTF_WIDTH = 0x400,      // a width above 0
  FMTF_EXP_LOWER = 0x800,  // 'e'
  FMTF_EXP_UPPER = 0x1000, // 'E'
  FMTF_FIXED = 0x2000,     // 'f'
  FMTF_INVALID = 0xFFFFFFFF,
};

// Receivers of the formatter's characters, one call per character, in order.
typedef void (*FmtPutFunction)(char ch, void *pvContext);
typedef void (*WFmtPutFunction)(unsigned short wch, void *pvContext);

// Formats `strFormat` with the tagged arguments, passing each character to `put`. Returns 1 if
// every placeholder was valid, else 0; an invalid placeholder prints nothing and the rest goes on.
CORE_API int fmtOutputFV(FmtPutFunction put, void *pvContext, const char *strFormat, va_list args);
CORE_API int fmtOutputF(FmtPutFunction put, void *pvContext, const char *strFormat, ...);
// The same for 16-bit text; 8-bit arguments are widened with chASCIIToUTF16.
CORE_API int wfmtOutputFV(WFmtPutFunction put, void *pvContext, const unsigned short *wstrFormat,
                          va_list args);
CORE_API int wfmtOutputF(WFmtPutFunction put, void *pvContext, const unsigned short *wstrFormat,
                         ...);

// Parses a specification string alone: its FMTF_ flags, or FMTF_INVALID (0xFFFFFFFF).
CORE_API unsigned long tstExtendedArg(const char *strSpec);

// The formatted text as a new string (allocated once, at its exact length).
CORE_API CString strPrintFV(const char *strFormat, va_list args);
CORE_API CString strPrintF(const char *strFormat, ...);
CORE_API CWString wstrPrintFV(const unsigned short *wstrFormat, va_list args);
CORE_API CWString wstrPrintF(const unsigned short *wstrFormat, ...);

// The same engine over an array of argument words that ends with a word that is not a tag
// (FormatArgs.h builds such arrays); used by the type-safe front.
CORE_API int fmtOutputArgs(FmtPutFunction put, void *pvContext, const char *strFormat,
                           const unsigned int *pulArgs);
CORE_API int wfmtOutputArgs(WFmtPutFunction put, void *pvContext, const unsigned short *wstrFormat,
                            const unsigned int *pulArgs);
CORE_API CString strPrintArgs(const char *strFormat, const unsigned int *pulArgs);
CORE_API CWString wstrPrintArgs(const unsigned short *wstrFormat, const unsigned int *pulArgs);

} // namespace QuennelEngine
