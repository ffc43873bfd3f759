#pragma once
// The positional scanner: reads values out of text with the placeholders and tag words of the
// formatter (Formatter.h). Every target is passed by pointer (tag bit FMT_BY_POINTER), e.g.
// 0xABCD8003 followed by an int pointer. Code in C++ should use strScan from FormatArgs.h.
#include "core/text/Formatter.h"

namespace QuennelEngine {

// Sources of the scanner's characters: each call stores the next character in `current` and
// returns non-zero if it could advance; a 0 in `current` is the end of the input.
typedef int (*FmtGetFunction)(char &current, void *pvContext);
typedef int (*WFmtGetFunction)(unsigned short &current, void *pvContext);

// Reads the input from `get` as `strFormat` describes, storing values through the tagged
// pointers. Returns 1 on success, 0 on failure (variables read before the failure stay set).
CORE_API int fmtInputFV(FmtGetFunction get, void *pvContext, const char *strFormat, va_list args);
CORE_API int fmtInputF(FmtGetFunction get, void *pvContext, const char *strFormat, ...);
CORE_API int wfmtInputFV(WFmtGetFunction get, void *pvContext, const unsigned short *wstrFormat,
                         va_list args);
CORE_API int wfmtInputF(WFmtGetFunction get, void *pvContext, const unsigned short *wstrFormat,
                        ...);

// Scans a text: the number of characters consumed, or -1 if the scan failed.
CORE_API int strScanFV(const char *strText, const char *strFormat, va_list args);
CORE_API int strScanF(const char *strText, const char *strFormat, ...);
CORE_API int wstrScanFV(const unsigned short *wstrText, const unsigned short *wstrFormat,
                        va_list args);
CORE_API int wstrScanF(const unsigned short *wstrText, const unsigned short *wstrFormat, ...);

// The same scans over an array of argument words that ends with a word that is not a tag
// (FormatArgs.h builds such arrays).
CORE_API int fmtInputArgs(FmtGetFunction get, void *pvContext, const char *strFormat,
                          const unsigned int *pulArgs);
CORE_API int wfmtInputArgs(WFmtGetFunction get, void *pvContext, const unsigned short *wstrFormat,
                           const unsigned int *pulArgs);
CORE_API int strScanArgs(const char *strText, const char *strFormat, const unsigned int *pulArgs);
CORE_API int wstrScanArgs(const unsigned short *wstrText, const unsigned short *wstrFormat,
                          const unsigned int *pulArgs);

} // namespace QuennelEngine
