#pragma once
// The user's language as the system reports it, for choosing a locale folder.
#include "core/text/String.h"

namespace QuennelEngine {

// The English name of the user's language ("English", "German"...), or, when the system gives
// none, the locale name ("en-US"); either way its first two letters identify the language.
// "" when the system reports nothing.
CORE_API CString sysGetLanguageName(void);

} // namespace QuennelEngine
