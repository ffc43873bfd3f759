#pragma once
// The platforms content is prepared for, their names, and the file-name rules of each. They live
// here, below the metadata and the resources, because both use them: the metadata writer adjusts
// the names of the files a saved file refers to, and finalisation names its targets.
#include "core/memory/StaticStackArray.h"
#include "core/text/String.h"

namespace QuennelEngine {

// Target platforms of content; a bit set (-1 is every platform).
enum EPlatform : long {
  PLA_PC = 1,
  PLA_XBOX = 2,
  PLA_ALL = -1,
};

// The single platforms, in order: PLA_PC, PLA_XBOX.
CORE_API CStaticStackArray<EPlatform> corContentPlatformsEnumerate(void);
// The names of the platforms in the mask joined with "," ("PC,Xbox" for 3);
// "<unknown_platform>" when it names none.
CORE_API CString corContentPlatformToName(EPlatform plaMask);
// "PC" 1, "Xbox" 2, "All" -1 (letter case aside); anything else 0.
CORE_API EPlatform corContentPlatformFromName(const char *strName);
// The name a file has on the platform: on Xbox a ".ogg" file is a ".wma" file; every other name
// stays as it is.
CORE_API CString corAdjustFilenameForPlatform(EPlatform pla, const char *strFileName);

} // namespace QuennelEngine
