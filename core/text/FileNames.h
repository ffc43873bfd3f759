#pragma once
// Parts of file paths written with '/' separators.
#include "core/text/String.h"

namespace QuennelEngine {

// `strPath` itself if it ends in '/', else up to and including the last '/', else "".
CORE_API CString strFileDir(const char *strPath);
// `strPath` without its directory part.
CORE_API CString strNoFileDir(const char *strPath);
// The file name without directory and extension.
CORE_API CString strFileName(const char *strPath);
// The extension of the file name from its last '.', dot included; "" if it has none.
CORE_API CString strFileExt(const char *strPath);
// `strPath` up to its last '.' anywhere, or the whole path if it has none.
CORE_API CString strNoFileExt(const char *strPath);
// For a path ending in '/', the name of its last directory; otherwise "".
CORE_API CString strDirName(const char *strPath);
// True if every character may appear in a file name (an empty text is valid).
CORE_API bool strIsValidFileName(const char *str);
CORE_API bool wstrIsValidFileName(const unsigned short *wstr);

} // namespace QuennelEngine
