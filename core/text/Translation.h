#pragma once
// Translatable texts: "DOZU" + module + "." + key + "=" + default text. strTranslate looks the key
// up in the loaded translation tables and falls back to the default text.
#include "core/text/String.h"

namespace QuennelEngine {

// The translation of a translatable text, or its default text (the part after the first '=');
// a text without '=' (or exactly "=") is returned as it is.
CORE_API const char *strTranslate(const char *str);

// The locales root directory (set by the host) and the current locale's name (empty until one is
// chosen). Files are looked up under root + locale + "/" first.
CORE_API extern CString str_strLocaleDir;
CORE_API extern CString str_strCurrentLocale;

} // namespace QuennelEngine
