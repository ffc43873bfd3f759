#pragma once
// Wildcard matching: '*' any run (consecutive stars count as one), '?' any one character, a
// backslash before '*' or '?' makes it literal. The matcher backtracks to the last star only and
// gives up (false) after 200 steps, which bounds its cost on hostile patterns.
#include "core/platform/Platform.h"

namespace QuennelEngine {

// True if `strText` matches `strPattern`, ignoring case.
CORE_API bool strMatches(const char *strText, const char *strPattern);
// True if `strText` matches `strPattern`, case-sensitively.
CORE_API bool strMatchesS(const char *strText, const char *strPattern);
CORE_API bool wstrMatches(const unsigned short *wstrText, const unsigned short *wstrPattern);
CORE_API bool wstrMatchesS(const unsigned short *wstrText, const unsigned short *wstrPattern);

} // namespace QuennelEngine
