#pragma once
// Browse information: how a resource browser shows a class of resources. The registry exists
// while "Service.ResourceBrowseInfo" runs; before its start (and after its stop) every function
// here is a guard breach that does nothing.
#include "core/memory/StaticStackArray.h"
#include "core/text/String.h"

namespace QuennelEngine {

class CORE_API CResourceBrowseInfo {
public:
  CResourceBrowseInfo(void) {}
  CResourceBrowseInfo(const char *strClass, const char *strDescription, const char *strWildcard,
                      const char *strBrowseClass, const char *strBrowseName);
  // All five strings equal (class names and texts compared without regard to case).
  bool operator==(const CResourceBrowseInfo &rbi) const;

  CString rbi_strClass;       // the class's name
  CString rbi_strDescription; // shown to the user
  CString rbi_strWildcard;    // files to offer ("*.rsc")
  CString rbi_strBrowseClass; // kept and returned as given
  CString rbi_strBrowseName;  // kept and returned as given
};

CORE_API void rscRegisterBrowseInfo(const char *strClass, const char *strDescription,
                                    const char *strWildcard, const char *strBrowseClass,
                                    const char *strBrowseName);
// Removes the first entry equal in all five strings.
CORE_API void rscUnregisterBrowseInfo(const char *strClass, const char *strDescription,
                                      const char *strWildcard, const char *strBrowseClass,
                                      const char *strBrowseName);
// Fills `rbi` with the class, "All resources", "*.*" and "*" (the fifth string untouched), then
// with the class's own entry, or (with `bSearchBases`) the last-registered entry of a class it
// derives from. Returns 1 when an entry was copied.
CORE_API int rscGetBrowseInfo(const char *strClass, CResourceBrowseInfo &rbi, int bSearchBases);
// Appends the entries of every proper descendant of the class.
CORE_API void rscGetDerivedBrowseInfos(const char *strClass,
                                       CStaticStackArray<CResourceBrowseInfo> &saInfos);
// Appends every entry.
CORE_API void rscGetAllBrowseInfos(CStaticStackArray<CResourceBrowseInfo> &saInfos);

// "Service.ResourceBrowseInfo": makes the registry, and frees it.
CORE_API void rscStartBrowseInfoService(void);
CORE_API void rscStopBrowseInfoService(void);

} // namespace QuennelEngine
