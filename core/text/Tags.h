#pragma once
// Tags: name/value pairs kept inside a text as name + delimiter + "=" + value + delimiter, one
// after another ("Skin;=Red;Size;=2;" with the delimiter ";"). A tag is found where its name and
// the delimiter open the text, or where they stand right after a delimiter; names are compared
// ignoring case. An empty delimiter or a null argument is a contract violation: the text stays as
// it was and the result is empty.
#include "core/text/String.h"

namespace QuennelEngine {

// Appends name + delimiter + "=" + value + delimiter to `strText`.
CORE_API void tagAddTag(CString &strText, const char *strName, const char *strValue,
                        const char *strDelimiter);
// Removes every occurrence of the tag and appends it anew with `strValue`.
CORE_API void tagSetTagValue(CString &strText, const char *strName, const char *strValue,
                             const char *strDelimiter);
// Removes every occurrence of the tag with its value (nothing if it is absent).
CORE_API void tagRemoveTag(CString &strText, const char *strName, const char *strDelimiter);
// True if the tag is in the text (never for an empty name).
CORE_API bool tagIsTagDefined(const char *strText, const char *strName, const char *strDelimiter);
// The value of the first occurrence: from after the "=" that follows the name and delimiter to
// the next delimiter (or the end of the text); "" when the tag is absent.
CORE_API CString tagGetTagValue(const char *strText, const char *strName, const char *strDelimiter);
// A copy of `strText` in which every mark opening + name + closing (the opening found
// case-sensitively, at least one character before the closing) whose name, trimmed of spaces, is
// a tag of `strTags` is replaced by the tag's value. Other marks are copied as they are; values
// are not searched for marks again.
CORE_API CString tagSubstituteTags(const char *strText, const char *strOpening,
                                   const char *strClosing, const char *strTags,
                                   const char *strDelimiter);

} // namespace QuennelEngine
