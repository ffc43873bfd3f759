#pragma once
// The start-up settings a host gives the library: a text of flag words, searched
// case-insensitively anywhere in it ("notimer", "attachedzip", "nozips", "norootdir").
#include "core/text/String.h"

namespace QuennelEngine {

// Stores the settings (the start-up does this with the host's text).
CORE_API void corSetStartupSettings(const char *strSettings);
CORE_API CString corGetStartupSettings(void);
// True if `strFlag` occurs in the settings (case-insensitive).
CORE_API bool corIsStartupFlagSet(const char *strFlag);

} // namespace QuennelEngine
