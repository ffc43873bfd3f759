#pragma once
// Interned identifiers: an IDENT points to the one stored copy of a text, so identifiers compare
// by pointer. Interned texts live until the process ends; the empty text is the shared empty
// text of the string types. Interning may be used from any thread.
#include "core/platform/Platform.h"

namespace QuennelEngine {

typedef const char *IDENT;

// The identifier of a text (copied into the table the first time). Null is a contract
// violation and gives the empty identifier.
CORE_API IDENT strConvertStringToID(const char *str);
// The identifier of a text that lives as long as the program: Core's own literals are interned
// without copying; texts of other modules (which may unload) are copied.
CORE_API IDENT strConvertLiteralToID(const char *str);
CORE_API void strAddLiteralToStringTable(const char *str);
// The text of an identifier.
CORE_API const char *strConvertIDToString(IDENT id);
// How many texts are interned (diagnostics).
CORE_API long strGetIDCount(void);
// How many slots look-ups have visited and texts they have compared so far, for tests of the
// table's cost.
CORE_API long long strGetIDCompareCount(void);
// Prints every interned text through the trace output.
CORE_API void dbgDumpIDENTs(void);

} // namespace QuennelEngine
