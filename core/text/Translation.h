#pragma once
// Translatable texts: "DOZU" + module + "." + key + "=" + default text. strTranslate looks the key
// up in the loaded translation tables and falls back to the default text.
#include "core/platform/Platform.h"

namespace QuennelEngine {

// The translation of a translatable text, or its default text (the part after the first '=');
// a text without '=' (or exactly "=") is returned as it is.
CORE_API const char *strTranslate(const char *str);

} // namespace QuennelEngine
