#pragma once
// Translatable texts: "DOZU" + module + "." + key + "=" + default text. strTranslate looks the key
// up in the loaded translation tables and falls back to the default text.
//
// A table ("*.tbl") is a text file (8-bit or UTF-16 by its byte order mark): a line with the
// number of entries (a hint only), then lines "key=translation" in which "\n" stands for a line
// feed. When several loaded tables define a key, the one loaded last wins; unloading it uncovers
// the earlier one.
//
// strTranslate may be called from any thread at any time, also while the main thread loads or
// unloads tables; a translation it returned stays valid until the process ends. Loading,
// unloading and reloading are meant for the main thread (they are serialised by a mutex).
#include "core/memory/StaticStackArray.h"
#include "core/text/String.h"

namespace QuennelEngine {

// Where the game keeps its tables unless the host sets another locales root.
constexpr char STR_DEFAULT_LOCALES_DIR[] = "Content/QuennelVop2/Locales/";
constexpr char STR_DEFAULT_TABLE_PATTERN[] = "Content/QuennelVop2/Locales/*.tbl";

// The translation of a translatable text, or its default text (the part after the first '=');
// a text without '=' (or exactly "=") is returned as it is. The key prefixes "DTRS", "DOZU" and
// "TTRS:" are dropped, each at most once and in that order, before the lookup.
CORE_API const char *strTranslate(const char *str);
// The stored translation of a key (exact, case-sensitive, no prefixes dropped), or null when no
// loaded table holds it.
CORE_API const char *strFindTranslation(const char *strKey);

// Loads a table unless one of that file name (compared case-sensitively) is loaded. A table
// without an entry count is refused with a warning. Throws the stream's errors.
CORE_API void strLoadTranslationTable_t(const char *strFileName);
// Drops the table of that file name and the translations it brought; nothing if none is loaded.
CORE_API void strUnloadTranslationTable_t(const char *strFileName);
// Loads every "*.tbl" of a directory (with its trailing '/'): only the files directly in the
// default locales directory (also for an empty name), the whole subtree of any other. Files load
// in name order. Throws the first error; tables loaded before it stay loaded.
CORE_API void strObtainTranslationTables_t(const char *strDirectory);
// Unloads every table, then loads those directly in the locales root and, with a current locale,
// those under its folder. Readers see the old tables until the new ones are in place. Throws the
// first error; what was loaded up to it stays in use.
CORE_API void strReloadTranslationTables_t(void);
// Makes `strLocale` the current locale and reloads; an error is printed, not thrown.
CORE_API void strReloadTransTables(const char *strLocale);
// The file names of the loaded tables, in load order.
CORE_API CStaticStackArray<CString> strGetLoadedTranslationTables(void);

// What the translation store has done, for tests of its cost.
struct TranslationWork {
  long tw_ctPoolProbes;         // slots the text pool looked at while storing texts
  long tw_ctIndexCompares;      // key comparisons made while building indexes
  long tw_ctMostLookupCompares; // the most key comparisons a lookup in the loaded tables takes
};
// The counters so far (the first two count since the process started).
CORE_API TranslationWork strGetTranslationWork(void);

// The locales root without a current locale, otherwise root + locale + "/".
CORE_API CString strGetCurrentLocaleDir(void);
// Chooses the current locale among the folders of the locales root: the one named like the
// system's language (ignoring case), else one whose first two letters are the language's; none
// if no folder fits. Tables are not reloaded.
CORE_API void strAutoDetectLocale(void);
// Makes `strLocale` the current locale (tables are not reloaded). Safe against threads that are
// opening files meanwhile: the old name's text is never freed.
CORE_API void strSetCurrentLocale(const char *strLocale);
// The current locale's version of a file: with a locale set, among the files "base_suffix.ext"
// beside it (base: the name without extension and without a "_???" ending), the one whose suffix
// is the locale's name, else one whose suffix starts with the locale's first two letters (both
// ignoring case). The given name when there is no locale or no such file.
CORE_API CString strFindLocalizedFile(const char *strFileName);

// The locales root directory (set by the host) and the current locale's name (empty until one is
// chosen). Files are looked up under root + locale + "/" first.
CORE_API extern CString str_strLocaleDir;
CORE_API extern CString str_strCurrentLocale;

} // namespace QuennelEngine
