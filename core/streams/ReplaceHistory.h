#pragma once
// The replace history: files that were moved or renamed keep being found under their old names.
// Each line of "ReplaceHistory.txt" holds an old and a new name (quoted when they hold blanks);
// names ending in '*' map every name with that prefix.
#include "core/text/String.h"

namespace QuennelEngine {

// Loads the pairs of "ReplaceHistory.txt" (when it exists), replacing those loaded before.
// Malformed lines are reported with their numbers and skipped.
CORE_API void filLoadReplaceHistory_t(void);
// Loads the pairs from an open text stream.
CORE_API void filLoadReplaceHistory_t(class CStream &strm);
CORE_API void filClearReplaceHistory(void);
CORE_API long filGetReplaceHistoryCount(void);
// The name after every applicable pair, in file order; a ".wld" name becomes ".tex" when raw
// loading is allowed and that file exists.
CORE_API CString filFileReplaceHistory(const char *strName);
// True when filFileReplaceHistory would give the name back unchanged for certain (no pairs are
// loaded, and it is no world name that raw loading may turn); look-ups then skip the copy.
// `ctLength` is the name's length when the caller knows it (-1: measured here).
CORE_API bool filReplaceHistoryKeeps(const char *strName, int ctLength = -1);

} // namespace QuennelEngine
